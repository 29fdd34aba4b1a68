// SPDX-License-Identifier: MIT
#include <sys/file.h>

#include <thread>

#include "internal/pid_file.h"
#include "internal/process.h"
#include "support/capture.h"

using namespace xk::test;

using SystemTest = ReportingTest;

// Every test here puts back the signal dispositions it found and ends the children it started.
class ProcessOpsTest : public ReportingTest {
protected:
    void SetUp() override {
        for (int sig = 1; sig <= 31; ++sig) sigaction(sig, nullptr, &saved[sig]);
    }
    void TearDown() override {
        for (int sig = 1; sig <= 31; ++sig) sigaction(sig, &saved[sig], nullptr);
        for (pid_t pid : children) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
    }
    // A child running /bin/sleep under the first argument given, once the exec has happened.
    pid_t start(std::string name) {
        char seconds[] = "30", *argv[] = {name.data(), seconds, nullptr};
        pid_t pid = children.emplace_back(fork());
        if (pid == 0) execv("/bin/sleep", argv), _exit(127);
        while (read_text("/proc/" + std::to_string(pid) + "/cmdline").find(name + '\0') != 0) usleep(1000);
        return pid;
    }
    struct sigaction saved[32];
    std::vector<pid_t> children;
};

TEST_F(ProcessOpsTest, SpawnWaitAndAwaitSeeHowChildrenEnd) {
    char sh[] = "/bin/sh", c[] = "-c", kill_self[] = "kill -TERM $$", missing[] = "/nonexistent";
    char *killed[] = {sh, c, kill_self, nullptr}, *none[] = {missing, nullptr}, *envp[] = {nullptr};
    int by_signal = -7, no_exec = -7, status = 0;
    fflush(nullptr);  // a child that cannot exec exits through exit(1), flushing what it inherited
    expect_all({xk_spawn_and_wait(killed, envp, &by_signal), xk_spawn_and_wait(none, envp, &no_exec)}, XK_OK);
    pid_t slow = start("slow");
    expect_all({xk_util_await_child_timeout(slow, 0)}, XK_ERR_TIMEOUT);  // killed at the deadline
    EXPECT_EQ(std::tuple(by_signal, no_exec, waitpid(slow, &status, 0), status),
              std::tuple(-1, 1, slow, SIGKILL));
    xk_proc_handle *handle = nullptr;
    xk_free_proc_handle(&handle), xk_free_proc_handle(nullptr);
    expect_all({xk_wait(&handle, &status)});
}

void noop(int) {}

TEST_F(ProcessOpsTest, SignalDispositions) {
    struct sigaction now;
    auto handler_of = [&now](int sig) { return sigaction(sig, nullptr, &now), now.sa_handler; };
    signal(SIGTERM, noop);
    expect_all(
        {xk_util_ignore_signal(SIGKILL), xk_util_ignore_signal(SIGTERM), xk_util_ignore_signal(SIGSTOP),
         xk_util_ignore_signal(0), xk_util_ignore_signal(32), xk_util_ignore_common_signals()},
        XK_OK);  // the protected and the unknown ones are left alone
    int ignored = 0;
    for (int sig = 1; sig <= 31; ++sig) ignored += handler_of(sig) == SIG_IGN;
    EXPECT_EQ(std::tuple(ignored, handler_of(SIGTERM), handler_of(SIGKILL)), std::tuple(28, &noop, SIG_DFL));
    expect_report(xk_util_reset_signal(SIGCHLD), XK_OK);
    EXPECT_EQ(std::tuple(handler_of(SIGCHLD), xk_util_sleep(0)), std::tuple(SIG_DFL, 0u));
    expect_report(xk_util_reset_signal(32), XK_ERR_INVALID, {"Invalid or unsupported signal value 32"});
}

// A name matches whole or, when not exact, as part of the first argument; the other arguments never.
TEST_F(ProcessOpsTest, LookupMatchesTheFirstArgumentExactlyOrByContainment) {
    const std::string part = "xkprobe" + std::to_string(getpid()), name = "/nonexistent/" + part + "/tool";
    const unsigned int started = start(name);
    unsigned int *pids = nullptr, count = 99, contained = 0, exact = 9, with_args = 9;
    expect_all(
        {xk_util_pid_of(name.c_str(), 1, &pids, &count), xk_util_pid_of(part.c_str(), 0, nullptr, &contained),
         xk_util_pid_of(part.c_str(), 1, nullptr, &exact),
         xk_util_pid_of((name + " 30").c_str(), 1, nullptr, &with_args)},
        XK_OK);
    EXPECT_EQ(std::tuple(count, pids[0], contained, exact, with_args), std::tuple(1u, started, 1u, 0u, 0u));
    free(pids);
    expect_all({xk_util_pid_of(nullptr, 1, nullptr, &count)});
    dirent gone{};
    gone.d_type = DT_DIR, strcpy(gone.d_name, "4194305");  // above the largest pid the kernel hands out
    EXPECT_EQ(vet_possible_directory(&gone) + vet_possible_directory(nullptr), 0);
}

// A live child's first argument as a claim reads it, cut to the 100 bytes a claim accepts. A claim
// matches a prefix, so the name holds wherever the test binary lives.
TEST_F(SystemTest, ClaimsAStaleOrForeignFileAndKeepsOneOfALiveProcessOfTheSameProgram) {
    TempDir dir;
    const std::string p = dir / "a.pid", self = std::to_string(getpid());
    pid_t sleeper = fork() ?: (pause(), _exit(0), 0);
    const std::string live = std::to_string(sleeper), cmdline = read_text("/proc/" + live + "/cmdline"),
                      name = cmdline.substr(0, std::min<size_t>(cmdline.find('\0'), 100));
    unsigned int pid = 7;
    mode_t old_mask = umask(002);
    expect_report(xk_util_claim_pid_file(p.c_str(), name.c_str(), &pid), XK_OK);
    umask(old_mask);
    struct stat sb;
    EXPECT_EQ((std::tuple{read_text(p), stat(p.c_str(), &sb), sb.st_mode & 0777, pid}),
              std::tuple(self, 0, 0664u, 7u));
    // "self" names this process in /proc but is no number; a pid no process has is replaced whole.
    // clang-format off
    const std::tuple<std::string, std::string, xk_util_status> cases[] = {{live + "\n", name, XK_OK},
        {live, "/no/such/program", XK_OK}, {"12345678901234567890", name, XK_OK}, {"", std::string(101, 'x'), XK_OK},
        {live, name, XK_ERR_ALREADY_RUNNING}, {live, name.substr(0, name.size() - 1), XK_ERR_ALREADY_RUNNING},
        {live, std::string(101, 'x'), XK_ERR_INVALID}, {"self", name, XK_ERR_SYSTEM}};
    // clang-format on
    for (const auto &[content, exe, st] : cases) {
        if (content == "self" && under_emulator()) continue;  // qemu shows its guest's /proc/self
        write_text(p, content);
        expect_report(xk_util_claim_pid_file(p.c_str(), exe.c_str(), &pid), st);
        EXPECT_EQ(std::tuple(read_text(p), std::exchange(pid, 7)),
                  std::tuple(st ? content : self, st == XK_ERR_ALREADY_RUNNING ? unsigned(sleeper) : 7u))
            << content << " " << exe;
    }
    expect_all({xk_util_claim_pid_file(nullptr, "x", &pid), xk_util_claim_pid_file("x", nullptr, &pid),
                xk_util_claim_pid_file("x", "x", nullptr)});
    kill(sleeper, SIGKILL), waitpid(sleeper, nullptr, 0);
}

TEST(ThreadId, IsThePidInTheMainThreadAndDiffersInAnother) {
    int64_t other = 0;
    std::thread([&] { other = xk_util_tid(); }).join();
    EXPECT_EQ(std::tuple(xk_util_tid(), other != getpid() && other > 0), std::tuple(getpid(), true));
}

TEST_F(SystemTest, ProcStatFieldsLandInTheirPlaces) {
    TempDir dir;
    // Field n holds n. The name runs to the last ')', so blanks and parentheses inside it move no
    // field; an empty field (two blanks) stays 0; a negative nice keeps its bits.
    std::string line = "1 (a b) (c d) R";
    for (int n = 4; n <= 52; ++n) line += n == 7 ? " " : n == 19 ? " -5" : " " + std::to_string(n);
    xk_util_proc_stat_record r;
    for (size_t cut : {line.size(), line.find(" 42 ")}) {  // one field short: parsed up to there, refused
        write_text(dir / "stat", line.substr(0, cut) + "\n");
        std::string len = std::to_string(cut + 2),
                    failed = "Parsing logic failed, j=" + len + ", len=" + len + "\n";
        expect_report(xk_util_proc_stat_from_file(&r, (dir / "stat").c_str()),
                      cut == line.size() ? XK_OK : XK_ERR_SYSTEM,
                      cut == line.size() ? std::vector<std::string>{} : std::vector{failed});
        EXPECT_EQ(std::tuple(r.pid, r.state, r.ppid, r.tty_nr, r.tpgid, r.utime, long(r.nice), r.starttime,
                             r.rss, r.policy, r.delayacct_blkio_ticks),
                  std::tuple(1, 'R', 4, 0, 8, 14ul, -5l, 22ull, 24l, 41u, cut == line.size() ? 42u : 0u));
    }
    line[line.find(" 43 ")] = '\0';  // from memory the line needs no newline and may end at its terminator
    expect_report(xk_util_proc_stat_from_line(&r, line.data(), line.find('\0')), XK_OK);
    EXPECT_EQ(r.delayacct_blkio_ticks, 42u);
    expect_report(xk_util_proc_stat_from_line(&r, &line[line.find('\0')], 0), XK_ERR_SYSTEM,
                  {"Parsing logic failed, j=1, len=1\n"});
    expect_all({xk_util_proc_stat_from_line(&r, nullptr, 0)});
    EXPECT_EQ(std::tuple(xk_util_proc_stat(nullptr, 0), xk_util_proc_stat_from_line(nullptr, nullptr, 0)),
              std::tuple(XK_ERR_NULL_ARG, XK_ERR_NULL_ARG));
    expect_report(XK_ERR_NULL_ARG, XK_ERR_NULL_ARG, {"ret_proc_stat is NULL", "ret_proc_stat is NULL"}, 2);
    xk_util_proc_stat_record parent;
    expect_all({xk_util_proc_stat(&parent, getppid())}, XK_OK);
    EXPECT_EQ(parent.pid, getppid());
}

TEST_F(SystemTest, EnvCopiesValuesBelow300BytesSetsAndUnsets) {
    const char *name = "XK_ENV_TEST_VARIABLE";
    for (const std::string &value : {std::string(299, 'v'), std::string(300, 'v'), std::string()}) {
        char *copy = (setenv(name, value.c_str(), 1), xk_util_getenv(name));
        setenv(name, "changed", 1);  // the copy is private; 300 bytes or more count as absent
        EXPECT_EQ(copy ? std::string(copy) : "<null>", value.size() < 300 ? value : "<null>");
        free(copy);
    }
    expect_all({xk_util_unsetenv(name), xk_util_unsetenv(name)}, XK_OK);  // not set is no error
    expect_all({xk_util_setenv(name, nullptr), xk_util_setenv(nullptr, "v"), xk_util_unsetenv(nullptr)});
    EXPECT_EQ(std::tuple(getenv(name), xk_util_getenv(nullptr)),
              std::tuple(nullptr, nullptr));  // none handed on
}

TEST_F(SystemTest, EffectiveGroupLooksUpNamesOfUpTo32Bytes) {
    std::string name(32, 'g');
    expect_report(ensure_egid(name.c_str()), XK_ERR_SYSTEM, {"Failed to find group " + name});
    expect_all({ensure_egid((name + "g").c_str())}, XK_ERR_INVALID);
    expect_all({ensure_egid(nullptr)});
}
