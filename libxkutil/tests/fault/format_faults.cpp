#include <errno.h>
#include <stdlib.h>

#include "fault/driver.h"
#include "support/capture.h"
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

}  // namespace
