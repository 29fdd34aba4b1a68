// SPDX-License-Identifier: MIT

#include <thread>

#include "internal/process.h"
#include "support/capture.h"

using namespace xk::test;
using SystemTest = ReportingTest;

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
