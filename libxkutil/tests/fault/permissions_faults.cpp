#include <errno.h>
#include <grp.h>
#include <unistd.h>

#include <string>

#include "fault/driver.h"
#include "fault/expect.h"
#include "support/capture.h"
#include "xk/permissions.h"

namespace {

using namespace xk::fault;

class PermissionsFaults : public xk::test::ReportingTest {
protected:
    // The group we already have, so that the lookup and the switch succeed when nothing fails.
    std::string group;
    void SetUp() override {
        struct group *g = getgrgid(getegid());
        if (g == nullptr) GTEST_SKIP() << "the effective group has no name here";
        group = g->gr_name;
    }

    // Runs ensure_egid with `call` failing once and checks the status, the single trace and
    // that the effective group did not move.
    std::vector<std::string> fail_once(Call call, long nth, int err) {
        capture.clear();
        gid_t before = getegid();
        xk::fault::arm(call, nth, err);
        EXPECT_EQ(ensure_egid(group.c_str()), XK_ERR_SYSTEM);
        EXPECT_TRUE(xk::fault::fired(call));
        xk::fault::disarm_all();
        EXPECT_EQ(getegid(), before);
        EXPECT_EQ(chain(traces()), (Chain{{"ensure_egid", XK_ERR_SYSTEM}}));
        return texts(lines());
    }
};

TEST_F(PermissionsFaults, EachSystemFailureLogsItsReason) {
    EXPECT_EQ(fail_once(Call::sysconf, 0, EINVAL),
              (Texts{"Failed to query group structure size  Reason: Invalid argument"}));
    // getgrnam_r reports its failure through its result; that code is the reason.
    EXPECT_EQ(fail_once(Call::getgrnam_r, 0, EIO),
              (Texts{"Failed to query group " + group + " data  Reason: Input/output error"}));
    EXPECT_EQ(fail_once(Call::setegid, 0, EPERM), (Texts{"Failed to update effective gid for group " + group +
                                                         "  Reason: Operation not permitted"}));
}

TEST_F(PermissionsFaults, BufferAllocationFailureNamesTheSize) {
    long size = sysconf(_SC_GETGR_R_SIZE_MAX);
    long points = xk::fault::drive_allocations(
        [&] {
            capture.clear();
            xk_util_status st = ensure_egid(group.c_str());
            if (st == XK_OK) return true;
            EXPECT_EQ(st, XK_ERR_NOMEM);
            return false;
        },
        [&](long) {
            EXPECT_EQ(chain(traces()), (Chain{{"ensure_egid", XK_ERR_NOMEM}}));
            EXPECT_EQ(texts(lines()), (Texts{"Failed to allocate " + std::to_string(size) + " byte buffer"}));
        });
    EXPECT_EQ(points, 1);
}

}  // namespace
