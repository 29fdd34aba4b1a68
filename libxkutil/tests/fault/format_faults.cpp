#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>

#include "fault/driver.h"
#include "fault/expect.h"
#include "support/capture.h"
#include "xk/file.h"
#include "xk/format.h"
#include "xk/memory.h"

namespace {

using xk::test::ReportingTest;
using FormatFaults = ReportingTest;

TEST_F(FormatFaults, AsprintfAllocationFailureLeavesNothing) {
    long points = xk::fault::drive_allocations(
        [&] {
            capture.clear();
            char *out = reinterpret_cast<char *>(1);
            xk_util_status st = xk_util_asprintf(&out, nullptr, "%s-%d", "pid", 42);
            if (st != XK_OK) return false;
            EXPECT_STREQ(out, "pid-42");
            free(out);
            return true;
        },
        [&](long) {
            auto records = traces();
            ASSERT_EQ(records.size(), 1u);
            EXPECT_EQ(records[0].func, "xk_util_vasprintf");
            EXPECT_EQ(records[0].status, XK_ERR_NOMEM);
            EXPECT_TRUE(lines().empty());
        });
    EXPECT_EQ(points, 1);
}

TEST_F(FormatFaults, DuplicatesReturnNullWhenAllocationFails) {
    long points = xk::fault::drive_allocations(
        [&] {
            char *a = xk_util_strndup("abcdef", 3);
            void *b = xk_util_memdup("xyz", 3);
            void *c = xk_util_memdup0("xyz", 3);
            bool all = a != nullptr && b != nullptr && c != nullptr;
            free(a);
            free(b);
            free(c);
            return all;
        },
        [&](long) { EXPECT_TRUE(traces().empty()); });
    EXPECT_EQ(points, 3);
}

TEST_F(FormatFaults, AFailingFormatterLeavesNoTextAndStoresItsErrno) {
    using xk::fault::Chain;
    // The sizing pass, then the filling pass.
    long points = xk::fault::drive(
        xk::fault::Call::vsnprintf, EOVERFLOW,
        [&] {
            capture.clear();
            char *out = reinterpret_cast<char *>(1);
            int err = -1;
            xk_util_status st = xk_util_asprintf(&out, &err, "%s-%d", "pid", 42);
            if (st == XK_OK) {
                EXPECT_EQ(err, 0);
                free(out);
                return true;
            }
            EXPECT_EQ(st, XK_ERR_SYSTEM);
            EXPECT_EQ(out, nullptr);
            EXPECT_EQ(err, traces().size() == 1 ? EOVERFLOW : -1);
            return false;
        },
        [&](long n) {
            if (n == 0) {
                EXPECT_EQ(xk::fault::chain(traces()), (Chain{{"xk_util_printf_vsize", XK_ERR_SYSTEM},
                                                             {"xk_util_vasprintf", XK_ERR_SYSTEM}}));
            } else {
                EXPECT_EQ(xk::fault::chain(traces()), (Chain{{"xk_util_vasprintf", XK_ERR_SYSTEM}}));
            }
            EXPECT_TRUE(lines().empty());
        });
    EXPECT_EQ(points, 2);

    // A caller of the formatter passes its status on without tracing it again.
    capture.clear();
    int fd = -7, err = 0;
    xk::fault::arm(xk::fault::Call::vsnprintf, 1, EOVERFLOW);
    EXPECT_EQ(xk_util_open(&fd, &err, O_RDONLY, 0, "/tmp/%s", "x"), XK_ERR_SYSTEM);
    xk::fault::disarm_all();
    EXPECT_EQ(err, EOVERFLOW);
    EXPECT_EQ(fd, -7);
    EXPECT_EQ(xk::fault::chain(traces()), (Chain{{"xk_util_vasprintf", XK_ERR_SYSTEM}}));

    char buf[8];
    xk::fault::arm(xk::fault::Call::vsnprintf, 0, EOVERFLOW);
    EXPECT_EQ(xk_util_snprintf(buf, sizeof buf, "%d", 1), -1);
    xk::fault::disarm_all();
}

}  // namespace
