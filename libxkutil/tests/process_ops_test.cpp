#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace
