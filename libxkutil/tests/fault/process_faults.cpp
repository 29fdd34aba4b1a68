#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "fault/driver.h"
#include "fault/expect.h"
#include "file/file_support.h"
#include "internal/pid_file.h"
#include "internal/process.h"
#include "support/capture.h"
#include "xk/env.h"
#include "xk/pidfile.h"
#include "xk/process.h"

// The test sets and reads dispositions past the seam, so only the library's calls are counted.
extern "C" int __real_sigaction(int, const struct sigaction *, struct sigaction *);

namespace {

using namespace xk::fault;
using xk::test::read_text;
using xk::test::TempDir;
using xk::test::write_text;

using ProcessFaults = xk::test::ReportingTest;

// One errno-pattern line: level 3 with the reporting source file and a line number.
void expect_errno_line(const xk::test::LogLine &l, const std::string &text, const char *file) {
    EXPECT_EQ(l.text, text);
    EXPECT_EQ(l.level, 3);
    EXPECT_EQ(l.file, file);
    EXPECT_GT(l.line, 0);
}

std::string self_exe() {
    std::string cmdline = read_text("/proc/self/cmdline");
    return cmdline.substr(0, cmdline.find('\0'));
}

char kShell[] = "/bin/sh", kDashC[] = "-c", kExit3[] = "exit 3";
char *const kArgv[] = {kShell, kDashC, kExit3, nullptr};
char *const kEnvp[] = {nullptr};

// --- spawn and wait ---

TEST_F(ProcessFaults, SpawnFailsBeforeOrAtTheForkAndKeepsNoHandle) {
    for (Call call : {Call::malloc_family, Call::fork}) {
        const uint32_t status = call == Call::fork ? kSystem : kNoMem;
        for (bool combined : {false, true}) {
            SCOPED_TRACE(combined ? "xk_spawn_and_wait" : "xk_spawn");
            long forks = 0;
            auto attempt = [&] {
                capture.clear();
                xk_proc_handle *handle = reinterpret_cast<xk_proc_handle *>(1);
                int code = -7;
                long forks_before = xk::fault::seen(Call::fork);
                xk_util_status st =
                    combined ? xk_spawn_and_wait(kArgv, kEnvp, &code) : xk_spawn(kArgv, kEnvp, &handle);
                forks = xk::fault::seen(Call::fork) - forks_before;
                if (st == XK_OK && !combined) st = xk_wait(&handle, &code);
                if (st == XK_OK) return code == 3;
                EXPECT_EQ(st, status);
                EXPECT_EQ(code, -7);
                EXPECT_EQ(handle, combined ? reinterpret_cast<xk_proc_handle *>(1) : nullptr);
                return false;
            };
            Chain expected{{"xk_spawn", status}};
            if (combined) expected.emplace_back("xk_spawn_and_wait", status);
            EXPECT_EQ(drive(call, EAGAIN, attempt,
                            [&](long) {
                                EXPECT_EQ(chain(traces()), expected);
                                EXPECT_TRUE(lines().empty());
                                EXPECT_EQ(forks, call == Call::fork ? 1 : 0);  // no child without a handle
                            }),
                      1);
        }
    }
}

TEST_F(ProcessFaults, AFailedWaitKeepsTheHandleForAnotherWait) {
    pid_t pid = 0;
    long points = drive(
        Call::waitpid, EINTR,
        [&] {
            capture.clear();
            xk_proc_handle *handle = nullptr;
            EXPECT_EQ(xk_spawn(kArgv, kEnvp, &handle), XK_OK);
            xk_proc_handle *spawned = handle;
            pid = handle->pid;
            int code = -7;
            xk_util_status st = xk_wait(&handle, &code);
            if (st == XK_OK) return code == 3 && handle == nullptr;
            EXPECT_EQ(st, kSystem);
            EXPECT_EQ(handle, spawned);
            EXPECT_EQ(handle->pid, pid);
            EXPECT_EQ(code, -7);
            EXPECT_EQ(xk_wait(&handle, &code), XK_OK);  // the child is still there to reap
            EXPECT_EQ(code, 3);
            return false;
        },
        [&](long) {
            EXPECT_EQ(chain(traces()), (Chain{{"xk_wait", kSystem}}));
            ASSERT_EQ(lines().size(), 1u);
            expect_errno_line(
                lines()[0],
                "Failed to wait on process " + std::to_string(pid) + "  Reason: Interrupted system call",
                "src/process/spawn_linux");
        });
    EXPECT_EQ(points, 1);

    // Through the combined call the wait's status comes back untraced and the handle is freed;
    // the child is reaped here.
    capture.clear();
    int code = -7;
    size_t blocks = xk::fault::live_blocks();
    xk::fault::arm(Call::waitpid, 0, ECHILD);
    EXPECT_EQ(xk_spawn_and_wait(kArgv, kEnvp, &code), kSystem);
    xk::fault::disarm_all();
    EXPECT_EQ(xk::fault::live_blocks(), blocks);
    EXPECT_EQ(code, -7);
    EXPECT_EQ(chain(traces()), (Chain{{"xk_wait", kSystem}}));
    int status = 0;
    EXPECT_GT(waitpid(-1, &status, 0), 0);

    // The deadline wait gives up at its first failed poll.
    capture.clear();
    xk_proc_handle *handle = nullptr;
    ASSERT_EQ(xk_spawn(kArgv, kEnvp, &handle), XK_OK);
    xk::fault::arm(Call::waitpid, 0, ECHILD);
    EXPECT_EQ(xk_util_await_child_timeout(handle->pid, 5), kSystem);
    xk::fault::disarm_all();
    EXPECT_EQ(chain(traces()), (Chain{{"xk_util_await_child_timeout", kSystem}}));
    ASSERT_EQ(lines().size(), 1u);
    expect_errno_line(lines()[0],
                      "Failed to wait for child process " + std::to_string(handle->pid) +
                          " to end  Reason: No child processes",
                      "src/process_ops");
    EXPECT_EQ(xk_wait(&handle, &code), XK_OK);
}

// --- signals ---

class SignalFaults : public xk::test::ReportingTest {
protected:
    struct sigaction saved[32];
    void SetUp() override {
        for (int sig = 1; sig < 32; ++sig) __real_sigaction(sig, nullptr, &saved[sig]);
    }
    void TearDown() override {
        for (int sig = 1; sig < 32; ++sig) __real_sigaction(sig, &saved[sig], nullptr);
    }
    static void set_all_default() {
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        for (int sig = 1; sig < 32; ++sig) __real_sigaction(sig, &dfl, nullptr);
    }
    static bool ignored(int sig) {
        struct sigaction now {};
        __real_sigaction(sig, nullptr, &now);
        return now.sa_handler == SIG_IGN;
    }
    static std::string reason_line(const char *what, int sig) {
        return std::string(what) + " " + strsignal(sig) + " (" + std::to_string(sig) +
               ")  Reason: Invalid argument";
    }
};

TEST_F(SignalFaults, AFailedSigactionIsLoggedNotTraced) {
    set_all_default();
    capture.clear();
    xk::fault::arm(Call::sigaction, 0, EINVAL);
    EXPECT_EQ(xk_util_ignore_signal(SIGUSR1), kSystem);
    xk::fault::arm(Call::sigaction, 0, EINVAL);
    EXPECT_EQ(xk_util_reset_signal(SIGUSR2), kSystem);
    xk::fault::disarm_all();
    EXPECT_FALSE(ignored(SIGUSR1));
    EXPECT_TRUE(traces().empty());
    ASSERT_EQ(lines().size(), 2u);
    expect_errno_line(lines()[0], reason_line("Failed to set ignore signal", SIGUSR1), "src/process_ops");
    expect_errno_line(lines()[1], reason_line("Failed to reset signal", SIGUSR2), "src/process_ops");
}

TEST_F(SignalFaults, IgnoringCommonSignalsGoesOnPastAFailure) {
    int failed = 0;
    auto nth_signal = [](long n) {
        int sig = 0;
        for (long seen = -1; seen < n;)
            if (++sig != SIGKILL && sig != SIGTERM && sig != SIGSTOP) ++seen;
        return sig;
    };
    long points = drive(
        Call::sigaction, EINVAL,
        [&] {
            capture.clear();
            set_all_default();
            return xk_util_ignore_common_signals() == XK_OK;
        },
        [&](long n) {
            failed = nth_signal(n);
            EXPECT_TRUE(traces().empty());
            ASSERT_EQ(lines().size(), 1u);
            expect_errno_line(lines()[0], reason_line("Failed to set ignore signal", failed),
                              "src/process_ops");
            for (int sig = 1; sig < 32; ++sig) {
                bool expected = sig != failed && sig != SIGKILL && sig != SIGTERM && sig != SIGSTOP;
                EXPECT_EQ(ignored(sig), expected) << "signal " << sig << " with " << failed << " failing";
            }
        });
    EXPECT_EQ(points, 28);
    EXPECT_EQ(failed, SIGSYS);
}

// --- environment and host ---

TEST_F(ProcessFaults, EnvironmentChangesLogTheirReasonAndChangeNothing) {
    const char *name = "XK_FAULT_ENV_PROBE";
    unsetenv(name);
    xk::fault::arm(Call::setenv, 0, ENOMEM);
    EXPECT_EQ(xk_util_setenv(name, "v"), kSystem);
    xk::fault::disarm_all();
    EXPECT_EQ(getenv(name), nullptr);
    ASSERT_EQ(xk_util_setenv(name, "v"), XK_OK);
    xk::fault::arm(Call::unsetenv, 0, EINVAL);
    EXPECT_EQ(xk_util_unsetenv(name), kSystem);
    xk::fault::disarm_all();
    EXPECT_STREQ(getenv(name), "v");
    unsetenv(name);

    EXPECT_EQ(chain(traces()), (Chain{{"xk_util_setenv", kSystem}, {"xk_util_unsetenv", kSystem}}));
    ASSERT_EQ(lines().size(), 2u);
    expect_errno_line(lines()[0], std::string("Failed to set environment variable: ") + strerror(ENOMEM),
                      "src/env/linux");
    expect_errno_line(lines()[1], std::string("Failed to unset environment variable: ") + strerror(EINVAL),
                      "src/env/linux");
}

TEST_F(ProcessFaults, CopiesOfEnvironmentAndHostNameAreNullWithoutMemory) {
    setenv("XK_FAULT_ENV_PROBE", "value", 1);
    auto copies = [&] {
        char *value = xk_util_getenv("XK_FAULT_ENV_PROBE");
        char *host = xk_util_get_hostname();
        bool both = value != nullptr && host != nullptr;
        if (value != nullptr) {
            EXPECT_STREQ(value, "value");
        }
        free(value);
        free(host);
        return both;
    };
    auto quiet = [&](long) {
        EXPECT_TRUE(traces().empty());
        EXPECT_TRUE(lines().empty());
    };
    EXPECT_EQ(drive_allocations(copies, quiet), 2);
    EXPECT_EQ(drive(Call::sysconf, EINVAL, copies, quiet), 1);
    unsetenv("XK_FAULT_ENV_PROBE");
}

// --- pid file ---

class PidFileFaults : public xk::test::ReportingTest {
protected:
    TempDir dir;
    std::string path = dir / "run.pid";
    std::string own_pid = std::to_string(getpid());
    std::string exe = self_exe();
    unsigned int pid_out = 7;

    // Claims with the file holding `content` (none when NULL); true when the outcome is `expected`.
    bool claim(const char *content, xk_util_status expected) {
        capture.clear();
        std::filesystem::remove(path);
        if (content != nullptr) write_text(path, content);
        pid_out = 7;
        xk_util_status st = xk_util_claim_pid_file(path.c_str(), exe.c_str(), &pid_out);
        if (st == expected)
            return expected != XK_ERR_ALREADY_RUNNING || pid_out == static_cast<unsigned>(getpid());
        EXPECT_EQ(pid_out, 7u);
        if (content != nullptr && st != kSystem) {
            EXPECT_EQ(read_text(path), content);
        }
        return false;
    }
    // The lock of the existing file was given back.
    void expect_unlocked() {
        int fd = open(path.c_str(), O_RDONLY);
        EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
        close(fd);
    }
    std::string reason(const char *message, int err) {
        return std::string(message) + " " + path + "  Reason: " + strerror(err);
    }
};

TEST_F(PidFileFaults, EveryAllocationOfAClaimIsPassedOnAndTheLockReleased) {
    struct Case {
        const char *content;
        xk_util_status outcome;
        Chain chains[3];
        long points;
    };
    const Chain read_chain = {{"xk_util_read_named_file", kNoMem}, {"xk_util_claim_pid_file", kNoMem}};
    const Chain path_chain = {
        {"xk_util_vasprintf", kNoMem}, {"map_pid_to_exe", kNoMem}, {"xk_util_claim_pid_file", kNoMem}};
    const Chain exe_chain = {{"map_pid_to_exe", kNoMem}, {"xk_util_claim_pid_file", kNoMem}};
    const Case cases[] = {
        {own_pid.c_str(),
         XK_ERR_ALREADY_RUNNING,
         {read_chain, path_chain, exe_chain},
         3},                                              // a live owner of this program
        {"4194305", XK_OK, {read_chain, path_chain}, 2},  // a pid no process can have
        {"", XK_OK, {read_chain}, 1},                     // an empty file
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.content);
        long points = drive_allocations([&] { return claim(c.content, c.outcome); },
                                        [&](long n) {
                                            EXPECT_EQ(chain(traces()), c.chains[n]);
                                            EXPECT_TRUE(lines().empty());
                                            expect_unlocked();
                                        });
        EXPECT_EQ(points, c.points);
    }
}

TEST_F(PidFileFaults, OpenAndLockFailuresAreLoggedWithThePath) {
    const Chain here = {{"xk_util_claim_pid_file", kSystem}};
    long points = drive(
        Call::open, EIO, [&] { return claim(own_pid.c_str(), XK_ERR_ALREADY_RUNNING); },
        [&](long n) {
            const Chain chains[] = {
                here,
                here,
                {{"xk_util_get_file_size", kSystem},
                 {"xk_util_read_named_file", kSystem},
                 {"xk_util_claim_pid_file", kSystem}},
                {{"map_pid_to_exe", kSystem}, {"xk_util_claim_pid_file", kSystem}},
            };
            EXPECT_EQ(chain(traces()), chains[n]);
            const Texts logged[] = {
                {reason("Cannot access pid file", EIO)}, {reason("Failed to open pid file", EIO)}, {}, {}};
            EXPECT_EQ(texts(lines()), logged[n]);
            for (const auto &l : lines()) expect_errno_line(l, l.text, "src/process/pid_file_linux");
        });
    EXPECT_EQ(points, 4);  // create, open existing, size query, the owner's command line

    // Permission to create is refused quietly.
    xk::fault::arm(Call::open, 0, EACCES);
    EXPECT_FALSE(claim(nullptr, XK_OK));
    EXPECT_EQ(chain(traces()), (Chain{{"xk_util_claim_pid_file", XK_ERR_ACCESS}}));
    EXPECT_TRUE(lines().empty());

    // A held lock fails the claim at once; a failed unlock changes no outcome. Neither keeps
    // the descriptor.
    int fds = xk::fault::open_descriptors();
    xk::fault::arm(Call::flock, 0, EWOULDBLOCK);
    EXPECT_FALSE(claim(own_pid.c_str(), XK_ERR_ALREADY_RUNNING));
    EXPECT_EQ(chain(traces()), here);
    EXPECT_EQ(texts(lines()), (Texts{reason("Failed to lock PID file", EWOULDBLOCK)}));
    xk::fault::arm(Call::flock, 1, EIO);
    EXPECT_TRUE(claim(own_pid.c_str(), XK_ERR_ALREADY_RUNNING));
    EXPECT_TRUE(xk::fault::fired(Call::flock));
    xk::fault::disarm_all();
    EXPECT_EQ(xk::fault::open_descriptors(), fds);
}

TEST_F(PidFileFaults, WriterFailuresAreLoggedAndOnlyTheOpenIsTraced) {
    struct Case {
        Call call;
        const char *message;
        Chain traced;
    };
    const Case cases[] = {
        {Call::fopen, "Failed to open pid file", {{"write_pid_file", kSystem}}},
        {Call::fflush, "Failed to flush written pid file", {}},
        {Call::fclose, "Failed to close written pid file", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        // A new file is created and written; the writer is its only stream.
        long points = drive(
            c.call, ENOSPC, [&] { return claim(nullptr, XK_OK) && read_text(path) == own_pid; },
            [&](long) {
                EXPECT_EQ(chain(traces()), c.traced);
                ASSERT_EQ(lines().size(), 1u);
                expect_errno_line(lines()[0], reason(c.message, ENOSPC), "src/process/pid_file_linux");
                EXPECT_TRUE(std::filesystem::exists(path));
            });
        EXPECT_EQ(points, 1);
    }
}

// --- process lookup and statistics ---

TEST_F(ProcessFaults, PidLookupSkipsOrFailsAtEachAllocation) {
    const std::string exe = self_exe();
    long filter = 0, array = 0, loop = 0, points = 0;
    // Processes come and go while other tests run; when /proc changes between two runs the
    // drive can step over the id array's single allocation, so it is driven again until it
    // lands there.
    for (int attempt = 0; attempt < 5 && array != 1; ++attempt) {
        filter = array = loop = 0;
        points = drive_allocations(
            [&] {
                capture.clear();
                unsigned int *pids = reinterpret_cast<unsigned int *>(1);
                unsigned int count = 12345;
                xk_util_status st = xk_util_pid_of(exe.c_str(), 1, &pids, &count);
                const Texts logged = texts(lines());
                const Chain traced = chain(traces());
                if (st == XK_OK) free(pids);
                if (st == XK_OK && logged.empty()) return count >= 1;
                if (st == XK_OK) {
                    // The filter could not build an entry's path: that entry is skipped, the scan goes on.
                    ++filter;
                    EXPECT_EQ(traced,
                              (Chain{{"xk_util_vasprintf", kNoMem}, {"vet_possible_directory", kNoMem}}));
                    EXPECT_EQ(logged, (Texts{"Failed to allocate path"}));
                    return false;
                }
                EXPECT_EQ(st, kNoMem);
                EXPECT_EQ(count, 12345u);
                if (pids == nullptr) {
                    ++array;
                    EXPECT_EQ(traced, (Chain{{"xk_util_pid_of", kNoMem}}));
                    EXPECT_EQ(logged, (Texts{"Failed to allocate memory"}));
                } else {
                    // The id array stays with the caller to free.
                    ++loop;
                    EXPECT_EQ(traced, (Chain{{"xk_util_vasprintf", kNoMem}, {"xk_util_pid_of", kNoMem}}));
                    EXPECT_EQ(logged, (Texts{"Failed to allocate path"}));
                    free(pids);
                }
                return false;
            },
            [&](long) {});
    }
    EXPECT_EQ(array, 1);
    EXPECT_GE(filter, 1);
    EXPECT_GE(loop, 1);
    EXPECT_EQ(filter + array + loop, points);

    capture.clear();
    unsigned int count = 12345;
    xk::fault::arm(Call::scandir, 0, EACCES);
    EXPECT_EQ(xk_util_pid_of(exe.c_str(), 1, nullptr, &count), kSystem);
    xk::fault::disarm_all();
    EXPECT_EQ(count, 12345u);
    EXPECT_EQ(chain(traces()), (Chain{{"xk_util_pid_of", kSystem}}));
    ASSERT_EQ(lines().size(), 1u);
    expect_errno_line(lines()[0], "Failed to open /proc  Reason: Permission denied", "src/process_ops");
}

TEST_F(ProcessFaults, ProcStatReportsAMissingFileAndAFailedLineRead) {
    xk_util_proc_stat_record record;
    auto attempt = [&](uint32_t status) {
        return [&, status] {
            capture.clear();
            memset(&record, 0xA5, sizeof record);
            xk_util_status st = xk_util_proc_stat(&record, 0);
            if (st == XK_OK) return record.pid == getpid();
            EXPECT_EQ(st, status);
            EXPECT_EQ(record.pid, 0);  // cleared before the file is opened
            EXPECT_EQ(record.delayacct_blkio_ticks, 0u);
            return false;
        };
    };
    EXPECT_EQ(drive(Call::fopen, ENOENT, attempt(XK_ERR_NOT_FOUND),
                    [&](long) {
                        EXPECT_EQ(chain(traces()), (Chain{{"xk_util_proc_stat", XK_ERR_NOT_FOUND}}));
                        EXPECT_TRUE(lines().empty());
                    }),
              1);
    // The line buffer is the call's only allocation, made by getline.
    EXPECT_EQ(drive(Call::getline, ENOMEM, attempt(XK_ERR_READ),
                    [&](long) {
                        EXPECT_EQ(chain(traces()), (Chain{{"xk_util_proc_stat", XK_ERR_READ}}));
                        ASSERT_EQ(lines().size(), 1u);
                        expect_errno_line(lines()[0], "getline() failed  Reason: Cannot allocate memory",
                                          "src/system/linux");
                    }),
              1);
}

}  // namespace
