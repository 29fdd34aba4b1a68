#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <string>
#include <vector>

#include "internal/process.h"
#include "support/capture.h"
#include "xk/process.h"

namespace {

using ProcessOpsTest = xk::test::ReportingTest;

pid_t child_running(unsigned seconds) {
    pid_t pid = fork();
    if (pid == 0) {
        sleep(seconds);
        _exit(0);
    }
    return pid;
}

TEST_F(ProcessOpsTest, AwaitReturnsAtOnceForAnEndedChild) {
    pid_t pid = fork();
    if (pid == 0) _exit(3);
    usleep(100000);
    EXPECT_EQ(xk_util_await_child_timeout(pid, 5), XK_OK);
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);  // already reaped
    EXPECT_TRUE(traces().empty());
}

TEST_F(ProcessOpsTest, AwaitKillsAChildPastItsDeadline) {
    pid_t pid = child_running(30);
    EXPECT_EQ(xk_util_await_child_timeout(pid, 0), XK_ERR_TIMEOUT);
    expect_single_trace("xk_util_await_child_timeout", XK_ERR_TIMEOUT);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
}

TEST_F(ProcessOpsTest, AwaitReportsAPidThatIsNotAChild) {
    EXPECT_EQ(xk_util_await_child_timeout(getppid(), 1), XK_ERR_SYSTEM);
    expect_single_trace("xk_util_await_child_timeout", XK_ERR_SYSTEM);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text.rfind("Failed to wait for child process ", 0), 0u);
    EXPECT_NE(lines()[0].text.find("  Reason: No child processes"), std::string::npos);
}

TEST_F(ProcessOpsTest, SpawnAndWaitDecodeExitCodes) {
    char *envp[] = {nullptr};
    char sh[] = "/bin/sh", c[] = "-c";
    char exit0[] = "exit 0", exit300[] = "exit 300", killed[] = "kill -TERM $$";
    int code = -7;
    char *ok[] = {sh, c, exit0, nullptr};
    EXPECT_EQ(xk_spawn_and_wait(ok, envp, &code), XK_OK);
    EXPECT_EQ(code, 0);
    char *big[] = {sh, c, exit300, nullptr};
    EXPECT_EQ(xk_spawn_and_wait(big, envp, &code), XK_OK);
    EXPECT_EQ(code, 44);
    char *sig[] = {sh, c, killed, nullptr};
    EXPECT_EQ(xk_spawn_and_wait(sig, envp, &code), XK_OK);
    EXPECT_EQ(code, -1);
    char missing[] = "/nonexistent/program";
    char *none[] = {missing, nullptr};
    fflush(nullptr);
    EXPECT_EQ(xk_spawn_and_wait(none, envp, &code), XK_OK);
    EXPECT_EQ(code, 1);
}

// Signal dispositions belong to the whole test program: every test here puts back what it found.
class SignalsTest : public xk::test::ReportingTest {
protected:
    void SetUp() override {
        for (int sig = 1; sig <= 31; ++sig) sigaction(sig, nullptr, &saved_[sig]);
    }
    void TearDown() override {
        for (int sig = 1; sig <= 31; ++sig)
            if (sig != SIGKILL && sig != SIGSTOP) sigaction(sig, &saved_[sig], nullptr);
    }
    static void (*handler_of(int sig))(int) {
        struct sigaction now;
        sigaction(sig, nullptr, &now);
        return now.sa_handler;
    }

private:
    std::array<struct sigaction, 32> saved_{};
};

void noop_handler(int) {}

TEST_F(SignalsTest, IgnoreLeavesProtectedAndOutOfRangeSignalsAlone) {
    struct sigaction catcher {};
    catcher.sa_handler = noop_handler;
    sigaction(SIGTERM, &catcher, nullptr);
    for (int sig : {SIGKILL, SIGTERM, SIGSTOP, 0, 32, -1})
        EXPECT_EQ(xk_util_ignore_signal(sig), XK_OK) << sig;
    EXPECT_EQ(handler_of(SIGTERM), noop_handler);
    EXPECT_EQ(handler_of(SIGKILL), SIG_DFL);
    EXPECT_TRUE(lines().empty());
    EXPECT_TRUE(traces().empty());
}

TEST_F(SignalsTest, IgnoreThenResetRestoresTheDefault) {
    ASSERT_EQ(xk_util_ignore_signal(SIGINT), XK_OK);
    EXPECT_EQ(handler_of(SIGINT), SIG_IGN);
    ASSERT_EQ(xk_util_reset_signal(SIGINT), XK_OK);
    EXPECT_EQ(handler_of(SIGINT), SIG_DFL);
    EXPECT_TRUE(lines().empty());
}

TEST_F(SignalsTest, ResetRefusesNumbersOutsideTheStandardRange) {
    for (int sig : {0, 32}) {
        capture.clear();
        EXPECT_EQ(xk_util_reset_signal(sig), XK_ERR_INVALID);
        expect_single_trace("xk_util_reset_signal", XK_ERR_INVALID);
        ASSERT_EQ(lines().size(), 1u);
        EXPECT_EQ(lines()[0].text, "Invalid or unsupported signal value " + std::to_string(sig));
        EXPECT_EQ(lines()[0].line, 0);
    }
}

TEST_F(SignalsTest, ResetOfKillIsLoggedNotTraced) {
    EXPECT_EQ(xk_util_reset_signal(SIGKILL), XK_ERR_SYSTEM);
    EXPECT_TRUE(traces().empty());
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].level, 3);
    EXPECT_EQ(lines()[0].file, "src/process_ops");
    EXPECT_EQ(lines()[0].text, std::string("Failed to reset signal ") + strsignal(SIGKILL) +
                                   " (9)  Reason: " + strerror(EINVAL));
}

TEST_F(SignalsTest, IgnoreCommonSignalsIgnoresTwentyEightAndSparesTheProtectedThree) {
    struct sigaction catcher {};
    catcher.sa_handler = noop_handler;
    sigaction(SIGTERM, &catcher, nullptr);
    ASSERT_EQ(xk_util_ignore_common_signals(), XK_OK);
    int ignored = 0;
    for (int sig = 1; sig <= 31; ++sig) ignored += handler_of(sig) == SIG_IGN;
    EXPECT_EQ(ignored, 28);
    EXPECT_EQ(handler_of(SIGTERM), noop_handler);
    EXPECT_EQ(handler_of(SIGKILL), SIG_DFL);
    EXPECT_EQ(handler_of(SIGSTOP), SIG_DFL);
    EXPECT_TRUE(lines().empty());
}

TEST_F(SignalsTest, AfterIgnoringCommonSignalsInterruptIsHarmlessAndTerminateStillEnds) {
    pid_t pid = fork();
    if (pid == 0) {
        signal(SIGTERM, SIG_DFL);
        if (xk_util_ignore_common_signals() != XK_OK) _exit(2);
        raise(SIGINT);
        raise(SIGHUP);
        raise(SIGTERM);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "child exited with " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
}

// With SIGCHLD ignored the system reaps the child itself, and the wait must say so.
TEST_F(SignalsTest, WaitReportsTheChildReapedUnderAnIgnoredChildSignal) {
    ASSERT_EQ(xk_util_ignore_signal(SIGCHLD), XK_OK);
    char program[] = "/bin/true";
    char *argv[] = {program, nullptr};
    char *envp[] = {nullptr};
    xk_proc_handle *handle = nullptr;
    ASSERT_EQ(xk_spawn(argv, envp, &handle), XK_OK);
    pid_t pid = handle->pid;
    int code = -7;
    EXPECT_EQ(xk_wait(&handle, &code), XK_ERR_SYSTEM);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->pid, pid);
    EXPECT_EQ(code, -7);
    expect_single_trace("xk_wait", XK_ERR_SYSTEM);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text,
              "Failed to wait on process " + std::to_string(pid) + "  Reason: " + strerror(ECHILD));
    xk_free_proc_handle(&handle);
    EXPECT_EQ(handle, nullptr);
}

// Children that run /bin/sleep under a command name of our choosing.
class ProcessLookupTest : public xk::test::ReportingTest {
protected:
    void TearDown() override {
        for (pid_t pid : children_) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    pid_t start(const std::string &name) {
        fflush(nullptr);
        pid_t pid = fork();
        if (pid == 0) {
            std::string copy = name;
            char seconds[] = "30";
            char *argv[] = {copy.data(), seconds, nullptr};
            execv("/bin/sleep", argv);
            _exit(127);
        }
        children_.push_back(pid);
        wait_for_exec(pid, name);
        return pid;
    }
    static void wait_for_exec(pid_t pid, const std::string &name) {
        for (int tries = 0; tries < 500; ++tries) {
            std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline");
            std::string first;
            std::getline(in, first, '\0');
            if (first == name) return;
            usleep(10000);
        }
        FAIL() << "child " << pid << " never showed " << name;
    }
    const std::string unique = "/nonexistent/xkprobe" + std::to_string(getpid()) + "/tool";

private:
    std::vector<pid_t> children_;
};

TEST_F(ProcessLookupTest, MatchesTheFirstArgumentExactlyOrByContainment) {
    pid_t pid = start(unique);
    unsigned int *pids = nullptr;
    unsigned int count = 99;
    ASSERT_EQ(xk_util_pid_of(unique.c_str(), 1, &pids, &count), XK_OK);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(pids[0], static_cast<unsigned>(pid));
    free(pids);
    std::string part = "xkprobe" + std::to_string(getpid());
    ASSERT_EQ(xk_util_pid_of(part.c_str(), 0, nullptr, &count), XK_OK);
    EXPECT_EQ(count, 1u);
    ASSERT_EQ(xk_util_pid_of(part.c_str(), 1, nullptr, &count), XK_OK);
    EXPECT_EQ(count, 0u);
    ASSERT_EQ(xk_util_pid_of((unique + " 30").c_str(), 1, nullptr, &count), XK_OK);
    EXPECT_EQ(count, 0u);  // arguments are not part of the name
    EXPECT_TRUE(traces().empty());
}

TEST_F(ProcessLookupTest, ListsMatchesInTextOrderWithASlotPerCandidate) {
    std::vector<std::string> started;
    for (int i = 0; i < 4; ++i) started.push_back(std::to_string(start(unique)));
    std::sort(started.begin(), started.end());
    unsigned int *pids = nullptr;
    unsigned int count = 0;
    ASSERT_EQ(xk_util_pid_of(unique.c_str(), 1, &pids, &count), XK_OK);
    ASSERT_EQ(count, 4u);
    std::vector<std::string> listed;
    for (unsigned i = 0; i < count; ++i) listed.push_back(std::to_string(pids[i]));
    EXPECT_EQ(listed, started);
    free(pids);
    unsigned int everything = 0;
    ASSERT_EQ(xk_util_pid_of("", 0, nullptr, &everything), XK_OK);
    EXPECT_GE(everything, 5u);  // the empty text is contained in every name
}

TEST_F(ProcessLookupTest, RefusesANullName) {
    unsigned int count = 7;
    EXPECT_EQ(xk_util_pid_of(nullptr, 1, nullptr, &count), XK_ERR_NULL_ARG);
    EXPECT_EQ(count, 7u);
    expect_single_trace("xk_util_pid_of", XK_ERR_NULL_ARG);
}

TEST_F(ProcessLookupTest, FilterKeepsOnlyNumericDirectoriesOfLiveProcesses) {
    struct dirent entry {};
    auto vet = [&](unsigned char type, const std::string &name) {
        entry.d_type = type;
        snprintf(entry.d_name, sizeof entry.d_name, "%s", name.c_str());
        return vet_possible_directory(&entry);
    };
    std::string self = std::to_string(getpid());
    EXPECT_EQ(vet(DT_DIR, self), 1);
    EXPECT_EQ(vet(DT_REG, self), 0);
    EXPECT_EQ(vet(DT_DIR, "self"), 0);
    EXPECT_EQ(vet(DT_DIR, "4194305"), 0);  // above the largest pid the kernel hands out
    EXPECT_EQ(vet_possible_directory(nullptr), 0);
}

}  // namespace
