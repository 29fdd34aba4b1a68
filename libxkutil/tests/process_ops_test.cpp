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
    char sh[] = "/bin/sh", c[] = "-c", missing[] = "/nonexistent", *envp[] = {nullptr};
    const std::pair<std::string, int> cases[] = {
        {"exit 0", 0}, {"exit 300", 44}, {"kill -TERM $$", -1}, {"", 1}};
    for (auto [script, want] : cases) {
        char *argv[] = {sh, c, script.data(), nullptr}, *none[] = {missing, nullptr};
        int code = -7;
        fflush(nullptr);  // a child that cannot exec exits through exit(1), flushing what it inherited
        expect_report(xk_spawn_and_wait(script.empty() ? none : argv, envp, &code), XK_OK);
        EXPECT_EQ(code, want) << script;
    }
    pid_t ended = fork() ?: (_exit(3), 0), slow = start("slow");
    usleep(100000);
    expect_report(xk_util_await_child_timeout(ended, 5), XK_OK);  // at once, and reaped
    expect_report(xk_util_await_child_timeout(slow, 0), XK_ERR_TIMEOUT);
    int status = 0;
    EXPECT_EQ((std::tuple{waitpid(ended, nullptr, WNOHANG), waitpid(slow, &status, 0), status}),
              std::tuple(-1, slow, SIGKILL));
    xk_proc_handle *handle = nullptr;
    xk_free_proc_handle(&handle), xk_free_proc_handle(nullptr);
    expect_all({xk_wait(&handle, &status)});
}

void noop(int) {}

TEST_F(ProcessOpsTest, SignalDispositions) {
    auto handler_of = [](int sig) {
        struct sigaction now;
        return sigaction(sig, nullptr, &now), now.sa_handler;
    };
    signal(SIGTERM, noop);
    for (int sig : {SIGKILL, SIGTERM, SIGSTOP, 0, 32, -1}) expect_report(xk_util_ignore_signal(sig), XK_OK);
    expect_report(xk_util_ignore_common_signals(), XK_OK);
    int ignored = 0;
    for (int sig = 1; sig <= 31; ++sig) ignored += handler_of(sig) == SIG_IGN;
    EXPECT_EQ(std::tuple(ignored, handler_of(SIGTERM), handler_of(SIGKILL)), std::tuple(28, &noop, SIG_DFL));
    expect_report(xk_util_reset_signal(SIGCHLD), XK_OK);
    EXPECT_EQ(std::tuple(handler_of(SIGCHLD), xk_util_sleep(0)), std::tuple(SIG_DFL, 0u));
    pid_t child = fork();  // interrupt and hang-up are harmless now; terminate still ends the process
    if (child == 0) signal(SIGTERM, SIG_DFL), raise(SIGINT), raise(SIGHUP), raise(SIGTERM), _exit(0);
    int status = 0;
    EXPECT_EQ((std::tuple{waitpid(child, &status, 0), status}), std::tuple(child, SIGTERM));
    for (int sig : {0, 32})
        expect_report(xk_util_reset_signal(sig), XK_ERR_INVALID,
                      {"Invalid or unsupported signal value " + std::to_string(sig)});
}

TEST_F(ProcessOpsTest, LookupMatchesTheFirstArgumentExactlyOrByContainment) {
    const std::string part = "xkprobe" + std::to_string(getpid()), name = "/nonexistent/" + part + "/tool";
    std::vector<std::string> started, listed;
    for (int i = 0; i < 4; ++i) started.push_back(std::to_string(start(name)));
    std::sort(started.begin(), started.end());  // listed in text order, not by number
    unsigned int *pids = nullptr, count = 99;
    expect_report(xk_util_pid_of(name.c_str(), 1, &pids, &count), XK_OK);
    for (unsigned i = 0; i < count; ++i) listed.push_back(std::to_string(pids[i]));
    EXPECT_EQ(listed, started);
    free(pids);
    const std::tuple<std::string, int, unsigned> cases[] = {
        {part, 0, 4}, {part, 1, 0}, {name + " 30", 1, 0}, {"", 0, 5}};
    for (const auto &[text, exact, want] : cases) {
        expect_report(xk_util_pid_of(text.c_str(), exact, nullptr, &count), XK_OK);
        EXPECT_TRUE(count >= want && count <= (text.empty() ? ~0u : want)) << text;  // "" is in every name
    }
    expect_all({xk_util_pid_of(nullptr, 1, nullptr, &count)});
    dirent gone{};
    gone.d_type = DT_DIR, strcpy(gone.d_name, "4194305");  // above the largest pid the kernel hands out
    EXPECT_EQ(std::tuple(vet_possible_directory(&gone), vet_possible_directory(nullptr)), std::tuple(0, 0));
}
