// SPDX-License-Identifier: MIT
#include "internal/process.h"
#include "support/capture.h"

using namespace xk::test;

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
