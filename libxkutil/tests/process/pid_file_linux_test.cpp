// SPDX-License-Identifier: MIT
#include <sys/file.h>

#include "internal/pid_file.h"
#include "support/capture.h"

using namespace xk::test;
using PidFileTest = ReportingTest;

// A live child's first argument as a claim reads it, cut to the 100 bytes a claim accepts. A claim
// matches a prefix, so the name holds wherever the test binary lives.
TEST_F(PidFileTest, ClaimsAStaleOrForeignFileAndKeepsOneOfALiveProcessOfTheSameProgram) {
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
