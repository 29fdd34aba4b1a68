#include <sys/file.h>

#include "file/file_support.h"
#include "internal/pid_file.h"

using namespace xk::test;

// A process's first argument as a claim reads it, cut to the 100 bytes a claim accepts. A claim
// matches a prefix, so the name holds wherever the test binary lives.
std::string program_of(pid_t pid) {
    std::string cmdline = read_text("/proc/" + std::to_string(pid) + "/cmdline");
    return cmdline.substr(0, std::min<size_t>(cmdline.find('\0'), 100));
}

class PidFileTest : public ReportingTest {
protected:
    void TearDown() override { kill(sleeper, SIGKILL), waitpid(sleeper, nullptr, 0); }
    TempDir dir;
    const std::string p = dir / "a.pid", self = std::to_string(getpid());
    pid_t sleeper = fork() ?: (pause(), _exit(0), 0);  // a live child of the same program
    const std::string live = std::to_string(sleeper), name = program_of(sleeper);
    unsigned int pid = 7;
};

TEST_F(PidFileTest, ClaimsAMissingStaleEmptyOrForeignFile) {
    mode_t old_mask = umask(002);
    expect_report(xk_util_claim_pid_file(p.c_str(), name.c_str(), &pid), XK_OK);
    umask(old_mask);
    struct stat sb;
    EXPECT_EQ((std::tuple{read_text(p), stat(p.c_str(), &sb), sb.st_mode & 0777, pid}),
              std::tuple(self, 0, 0664u, 7u));
    pid_t dead = fork() ?: (_exit(0), 0);
    waitpid(dead, nullptr, 0);
    const std::pair<std::string, std::string> cases[] = {{std::to_string(dead), name},
                                                         {"", name},
                                                         {live + "\n", name},
                                                         {live, "/no/such/program"},
                                                         {"", std::string(101, 'x')}};
    for (const auto &[content, exe] : cases) {
        write_text(p, content);
        expect_report(xk_util_claim_pid_file(p.c_str(), exe.c_str(), &pid), XK_OK);
        EXPECT_EQ(read_text(p), self) << content;
    }
    expect_report(xk_util_claim_pid_file((p + "/x").c_str(), "x", &pid), XK_ERR_SYSTEM,
                  {with_reason("Cannot access pid file " + p + "/x", ENOTDIR)});
    expect_report(xk_util_claim_pid_file(nullptr, "x", &pid), XK_ERR_NULL_ARG);
    expect_report(xk_util_claim_pid_file("x", nullptr, &pid), XK_ERR_NULL_ARG);
    expect_report(xk_util_claim_pid_file("x", "x", nullptr), XK_ERR_NULL_ARG);
    run_unprivileged([this] {  // no right to create it: refused quietly
        TempDir mine;
        chmod(mine.path().c_str(), 0500);
        expect_report(xk_util_claim_pid_file((mine / "a.pid").c_str(), "x", &pid), XK_ERR_ACCESS);
    });
}

TEST_F(PidFileTest, ALiveProcessOfTheSameProgramKeepsTheFile) {
    const std::pair<std::string, std::string> cases[] = {
        {live, name}, {live, name.substr(0, name.size() - 1)}, {self, program_of(getpid())}};
    for (const auto &[content, exe] : cases) {
        write_text(p, content);
        expect_report(xk_util_claim_pid_file(p.c_str(), exe.c_str(), &pid), XK_ERR_ALREADY_RUNNING);
        EXPECT_EQ(std::tuple(pid, read_text(p)), std::tuple(std::stoul(content), content));
    }
    write_text(p, "self");  // names this process in /proc but is no number
    expect_report(xk_util_claim_pid_file(p.c_str(), name.c_str(), &pid), XK_ERR_SYSTEM);
    write_text(p, "self/cmdline");  // its command line cannot be read
    expect_report(xk_util_claim_pid_file(p.c_str(), "x", &pid), XK_ERR_SYSTEM, {}, 2);
    expect_report(xk_util_claim_pid_file(p.c_str(), std::string(101, 'x').c_str(), &pid), XK_ERR_INVALID);
    int holder = open(p.c_str(), O_RDWR);
    flock(holder, LOCK_EX);
    expect_report(xk_util_claim_pid_file(p.c_str(), "x", &pid), XK_ERR_SYSTEM,
                  {with_reason("Failed to lock PID file " + p, EWOULDBLOCK)});
    close(holder);
    EXPECT_EQ(std::tuple(pid, read_text(p)), std::tuple(unsigned(getpid()), "self/cmdline"));
}

TEST_F(PidFileTest, CommandLineReadAndPidWrite) {
    char *exe = &dir.path_[0];
    expect_report(map_pid_to_exe("999999999", &exe, 10), XK_OK);
    EXPECT_EQ(exe, nullptr);
    expect_report(map_pid_to_exe(live.c_str(), &exe, 4), XK_OK);
    EXPECT_EQ(std::string(exe, 5), name.substr(0, 4) + '\0');
    free(exe);
    write_text(p, "12345678901234567890");
    expect_report(write_pid_file(p.c_str()), XK_OK);
    expect_report(write_pid_file(dir.path().c_str()), XK_ERR_SYSTEM,
                  {with_reason("Failed to open pid file " + dir.path(), EISDIR)});
    EXPECT_EQ(read_text(p), self);
}
