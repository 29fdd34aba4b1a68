#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "internal/pid_file.h"
#include "support/capture.h"
#include "xk/pidfile.h"

namespace {

using PidFileTest = xk::test::ReportingTest;

int count_fds() {
    int n = 0;
    DIR *d = opendir("/proc/self/fd");
    while (readdir(d) != nullptr) ++n;
    closedir(d);
    return n;
}

std::string read_file(const std::string &p) {
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_file(const std::string &p, const std::string &s) { std::ofstream(p) << s; }

struct TempDir {
    std::string path;
    TempDir() {
        char tmpl[] = "/tmp/xk_pidfile_XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() { std::system(("rm -rf " + path).c_str()); }
};

std::string self_pid() { return std::to_string(getpid()); }

// A child that only sleeps; its command line is that of this test binary.
pid_t fork_sleeper() {
    pid_t pid = fork();
    if (pid == 0) {
        pause();
        _exit(0);
    }
    return pid;
}

void reap(pid_t pid) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

std::string self_exe() {
    std::string cmd = read_file("/proc/self/cmdline");
    return cmd.substr(0, cmd.find('\0'));
}

TEST_F(PidFileTest, CreatesMissingFileWithOwnPidAndMode) {
    TempDir dir;
    std::string p = dir.path + "/a.pid";
    int before = count_fds();
    mode_t old = umask(002);
    unsigned int pid = 7;
    EXPECT_EQ(xk_util_claim_pid_file(p.c_str(), "whatever", &pid), XK_OK);
    umask(old);
    EXPECT_EQ(pid, 7u);
    EXPECT_EQ(read_file(p), self_pid());
    struct stat st;
    ASSERT_EQ(stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0664u);
    EXPECT_EQ(count_fds(), before);
    EXPECT_TRUE(traces().empty());
    EXPECT_TRUE(lines().empty());
}

TEST_F(PidFileTest, TakesOverStaleEmptyOrForeignFiles) {
    TempDir dir;
    std::string p = dir.path + "/a.pid";
    pid_t dead = fork();
    if (dead == 0) _exit(0);
    waitpid(dead, nullptr, 0);
    pid_t sleeper = fork_sleeper();
    std::string exe = self_exe();
    const std::string contents[] = {std::to_string(dead), "", std::to_string(sleeper) + "\n"};
    int before = count_fds();
    for (const std::string &c : contents) {
        write_file(p, c);
        unsigned int pid = 0;
        EXPECT_EQ(xk_util_claim_pid_file(p.c_str(), exe.c_str(), &pid), XK_OK) << c;
        EXPECT_EQ(read_file(p), self_pid()) << c;
    }
    // A live process of another program.
    write_file(p, std::to_string(sleeper));
    unsigned int pid = 0;
    EXPECT_EQ(xk_util_claim_pid_file(p.c_str(), "/no/such/program", &pid), XK_OK);
    EXPECT_EQ(read_file(p), self_pid());
    EXPECT_EQ(count_fds(), before);
    EXPECT_TRUE(traces().empty());
    reap(sleeper);
}

// The first argument of a process's command line as the kernel shows it to other processes.
std::string argv0_of(pid_t pid) {
    std::string cmd = read_file("/proc/" + std::to_string(pid) + "/cmdline");
    return cmd.substr(0, cmd.find('\0'));
}

TEST_F(PidFileTest, LiveSameProgramIsReportedAndFileKept) {
    TempDir dir;
    std::string p = dir.path + "/a.pid";
    pid_t sleeper = fork_sleeper();
    std::string exe = argv0_of(sleeper);
    write_file(p, std::to_string(sleeper));
    int before = count_fds();
    unsigned int pid = 0;
    // A prefix of the command line matches too.
    EXPECT_EQ(xk_util_claim_pid_file(p.c_str(), exe.substr(0, exe.size() - 1).c_str(), &pid),
              XK_ERR_ALREADY_RUNNING);
    EXPECT_EQ(pid, static_cast<unsigned int>(sleeper));
    EXPECT_EQ(read_file(p), std::to_string(sleeper));
    expect_single_trace("xk_util_claim_pid_file", XK_ERR_ALREADY_RUNNING);
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(count_fds(), before);
    reap(sleeper);
}

TEST_F(PidFileTest, OwnPidIsRunningAndSelfIsNoPid) {
    // qemu-user answers for its own pid with the guest's command line, not the kernel's.
    if (const char *e = getenv("XK_UNDER_EMULATOR"); e != nullptr && e[0] == '1')
        GTEST_SKIP() << "command lines differ under emulation";
    TempDir dir;
    std::string p = dir.path + "/a.pid";
    std::string exe = self_exe();
    unsigned int pid = 0;
    write_file(p, self_pid());
    EXPECT_EQ(xk_util_claim_pid_file(p.c_str(), exe.c_str(), &pid), XK_ERR_ALREADY_RUNNING);
    EXPECT_EQ(pid, static_cast<unsigned int>(getpid()));
    capture.clear();
    write_file(p, "self");
    pid = 5;
    EXPECT_EQ(xk_util_claim_pid_file(p.c_str(), exe.c_str(), &pid), XK_ERR_SYSTEM);
    EXPECT_EQ(pid, 5u);
    expect_single_trace("xk_util_claim_pid_file", XK_ERR_SYSTEM);
}

// Two copies of the program claim a stale file at the same moment: exactly one wins, the other
// finds the lock held or the winner running, and the file names the winner.
TEST_F(PidFileTest, RacingClaimsNeverBothPass) {
    TempDir dir;
    std::string p = dir.path + "/race.pid";
    pid_t sleeper = fork_sleeper();
    std::string exe = argv0_of(sleeper);
    reap(sleeper);
    for (int round = 0; round < 20; ++round) {
        write_file(p, "4194305");  // above the largest pid the kernel hands out
        int results[2], hold[2];
        ASSERT_EQ(pipe(results), 0);
        ASSERT_EQ(pipe(hold), 0);
        pid_t claimants[2];
        for (pid_t &claimant : claimants) {
            claimant = fork();
            if (claimant == 0) {
                close(hold[1]);
                unsigned int owner = 0;
                xk_util_status st = xk_util_claim_pid_file(p.c_str(), exe.c_str(), &owner);
                (void)!write(results[1], &st, sizeof st);
                char byte;
                (void)!read(hold[0], &byte, 1);  // stay alive until both have claimed
                _exit(0);
            }
        }
        close(results[1]);
        close(hold[0]);
        xk_util_status st[2] = {};
        ASSERT_EQ(read(results[0], &st[0], sizeof st[0]), static_cast<ssize_t>(sizeof st[0]));
        ASSERT_EQ(read(results[0], &st[1], sizeof st[1]), static_cast<ssize_t>(sizeof st[1]));
        std::string owner = read_file(p);
        close(hold[1]);
        close(results[0]);
        for (pid_t claimant : claimants) waitpid(claimant, nullptr, 0);
        ASSERT_EQ((st[0] == XK_OK) + (st[1] == XK_OK), 1)
            << "round " << round << ": " << st[0] << ", " << st[1];
        for (xk_util_status s : st)
            EXPECT_TRUE(s == XK_OK || s == XK_ERR_SYSTEM || s == XK_ERR_ALREADY_RUNNING) << s;
        EXPECT_TRUE(owner == std::to_string(claimants[0]) || owner == std::to_string(claimants[1])) << owner;
    }
}

TEST_F(PidFileTest, OverlongNameRefusedOnlyForExistingContent) {
    TempDir dir;
    std::string p = dir.path + "/a.pid";
    std::string name(101, 'x');
    unsigned int pid = 0;
    EXPECT_EQ(xk_util_claim_pid_file(p.c_str(), name.c_str(), &pid), XK_OK);
    int before = count_fds();
    EXPECT_EQ(xk_util_claim_pid_file(p.c_str(), name.c_str(), &pid), XK_ERR_INVALID);
    expect_single_trace("xk_util_claim_pid_file", XK_ERR_INVALID);
    EXPECT_EQ(count_fds(), before);
    capture.clear();
    EXPECT_EQ(xk_util_claim_pid_file(p.c_str(), std::string(100, 'x').c_str(), &pid), XK_OK);
}

TEST_F(PidFileTest, NullArgumentsAndFailures) {
    unsigned int pid = 0;
    EXPECT_EQ(xk_util_claim_pid_file(nullptr, "x", &pid), XK_ERR_NULL_ARG);
    EXPECT_EQ(xk_util_claim_pid_file("/tmp/x", nullptr, &pid), XK_ERR_NULL_ARG);
    EXPECT_EQ(xk_util_claim_pid_file("/tmp/x", "x", nullptr), XK_ERR_NULL_ARG);
    EXPECT_EQ(traces().size(), 3u);
    EXPECT_TRUE(lines().empty());
    capture.clear();

    EXPECT_EQ(xk_util_claim_pid_file("/tmp/no_such_dir_xk/a.pid", "x", &pid), XK_ERR_SYSTEM);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].level, 3);
    EXPECT_EQ(lines()[0].text,
              "Cannot access pid file /tmp/no_such_dir_xk/a.pid  Reason: No such file or directory");
    EXPECT_EQ(lines()[0].file, "src/process/pid_file_linux");
    expect_single_trace("xk_util_claim_pid_file", XK_ERR_SYSTEM);
}

TEST_F(PidFileTest, HeldLockFailsAtOnce) {
    TempDir dir;
    std::string p = dir.path + "/a.pid";
    write_file(p, "1");
    int holder = open(p.c_str(), O_RDWR);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    int before = count_fds();
    unsigned int pid = 0;
    EXPECT_EQ(xk_util_claim_pid_file(p.c_str(), "x", &pid), XK_ERR_SYSTEM);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text, "Failed to lock PID file " + p + "  Reason: Resource temporarily unavailable");
    expect_single_trace("xk_util_claim_pid_file", XK_ERR_SYSTEM);
    EXPECT_EQ(count_fds(), before);
    EXPECT_EQ(read_file(p), "1");
    close(holder);
}

TEST_F(PidFileTest, UnwritableDirectoryGivesAccess) {
    TempDir dir;
    std::string p = dir.path + "/a.pid";
    pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0) {
            chmod(dir.path.c_str(), 0755);
            if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) _exit(2);
        } else {
            chmod(dir.path.c_str(), 0555);
        }
        unsigned int pid = 0;
        _exit(xk_util_claim_pid_file(p.c_str(), "x", &pid) == XK_ERR_ACCESS ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    chmod(dir.path.c_str(), 0700);
}

TEST_F(PidFileTest, MapPidToExeReadsBoundedCommandLine) {
    char *exe = reinterpret_cast<char *>(1);
    EXPECT_EQ(map_pid_to_exe("999999999", &exe, 10), XK_OK);
    EXPECT_EQ(exe, nullptr);
    EXPECT_EQ(map_pid_to_exe(self_pid().c_str(), &exe, 4), XK_OK);
    ASSERT_NE(exe, nullptr);
    EXPECT_EQ(std::string(exe), self_exe().substr(0, 4));
    free(exe);
    EXPECT_TRUE(traces().empty());
}

TEST_F(PidFileTest, WritePidFileTruncatesAndReportsOpenFailure) {
    TempDir dir;
    std::string p = dir.path + "/w.pid";
    write_file(p, "12345678901234567890");
    EXPECT_EQ(write_pid_file(p.c_str()), XK_OK);
    EXPECT_EQ(read_file(p), self_pid());
    EXPECT_EQ(write_pid_file(dir.path.c_str()), XK_ERR_SYSTEM);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text, "Failed to open pid file " + dir.path + "  Reason: Is a directory");
    expect_single_trace("write_pid_file", XK_ERR_SYSTEM);
}

}  // namespace

namespace {

TEST_F(PidFileTest, CommandLineReadFailureTracedAtEachLevel) {
    TempDir dir;
    std::string p = dir.path + "/a.pid";
    write_file(p, "self/cmdline");  // "/proc/self/cmdline/cmdline" fails with ENOTDIR
    int before = count_fds();
    unsigned int pid = 0;
    EXPECT_EQ(xk_util_claim_pid_file(p.c_str(), "x", &pid), XK_ERR_SYSTEM);
    ASSERT_EQ(traces().size(), 2u);
    EXPECT_EQ(traces()[0].func, "map_pid_to_exe");
    EXPECT_EQ(traces()[1].func, "xk_util_claim_pid_file");
    EXPECT_EQ(traces()[1].status, XK_ERR_SYSTEM);
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(count_fds(), before);
    EXPECT_EQ(read_file(p), "self/cmdline");
}

}  // namespace
