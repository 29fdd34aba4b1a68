#include <stdlib.h>

#include <string>

#include "fault/driver.h"
#include "fault/expect.h"
#include "support/capture.h"
#include "xk/options.h"

namespace {

using namespace xk::fault;

using OptionsFaults = xk::test::ReportingTest;

TEST_F(OptionsFaults, ScanStopsAtTheFirstCopyThatCannotBeMade) {
    char *name = nullptr;
    char *dir = nullptr;
    int verbose = 0;
    xk_util_option table[] = {
        {'n', "name", xk_util_getopt_string, &name, 1},
        {'v', "verbose", xk_util_getopt_flag, &verbose, 0},
        {'d', "dir", xk_util_getopt_string, &dir, 1},
    };
    char arg0[] = "prog", arg1[] = "--name", arg2[] = "alice", arg3[] = "-v", arg4[] = "--dir",
         arg5[] = "/tmp";
    char *argv[] = {arg0, arg1, arg2, arg3, arg4, arg5};
    // What each run left in the destinations, noted before they are freed.
    std::string seen;
    long points = drive_allocations(
        [&] {
            capture.clear();
            name = dir = nullptr;
            verbose = 0;
            xk_util_status st = xk_util_getopt(6, argv, table, 3);
            seen = std::string(name != nullptr ? name : "-") + " " + std::to_string(verbose) + " " +
                   (dir != nullptr ? dir : "-");
            free(name);
            free(dir);
            if (st == XK_OK) {
                EXPECT_EQ(seen, "alice 1 /tmp");
                return true;
            }
            EXPECT_EQ(st, XK_ERR_NOMEM);
            return false;
        },
        [&](long n) {
            // Options before the failure keep their values; later ones are not looked at.
            EXPECT_EQ(seen, n == 0 ? "- 0 -" : "alice 1 -");
            EXPECT_EQ(chain(traces()), (Chain{{"xk_util_getopt_string", XK_ERR_NOMEM},
                                              {"process_option", XK_ERR_NOMEM},
                                              {"xk_util_getopt_from", XK_ERR_NOMEM}}));
            EXPECT_TRUE(lines().empty());
        });
    EXPECT_EQ(points, 2);
}

}  // namespace
