#include <errno.h>
#include <grp.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "file/file_support.h"
#include "support/capture.h"
#include "xk/permissions.h"

namespace {

using EffectiveGroupTest = xk::test::ReportingTest;

TEST_F(EffectiveGroupTest, CurrentEffectiveGroupByNameSucceeds) {
    struct group *current = getgrgid(getegid());
    if (current == nullptr) GTEST_SKIP() << "the effective group has no name here";
    std::string name = current->gr_name;
    gid_t before = getegid();
    EXPECT_EQ(ensure_egid(name.c_str()), XK_OK);
    EXPECT_EQ(getegid(), before);
    EXPECT_TRUE(traces().empty());
    EXPECT_TRUE(lines().empty());
}

TEST_F(EffectiveGroupTest, UnknownGroupIsLoggedAndTraced) {
    EXPECT_EQ(ensure_egid("xkutil-no-such-group"), XK_ERR_SYSTEM);
    expect_single_trace("ensure_egid", XK_ERR_SYSTEM);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].level, 3);
    EXPECT_EQ(lines()[0].file, "");
    EXPECT_EQ(lines()[0].line, 0);
    EXPECT_EQ(lines()[0].text, "Failed to find group xkutil-no-such-group");
}

// 32 bytes are looked up (and not found); 33 are refused before any lookup, without a log.
TEST_F(EffectiveGroupTest, NameLengthLimit) {
    std::string name(32, 'g');
    EXPECT_EQ(ensure_egid(name.c_str()), XK_ERR_SYSTEM);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text, "Failed to find group " + name);
    capture.clear();
    name += "g";
    EXPECT_EQ(ensure_egid(name.c_str()), XK_ERR_INVALID);
    expect_single_trace("ensure_egid", XK_ERR_INVALID);
    EXPECT_TRUE(lines().empty());
    capture.clear();
    EXPECT_EQ(ensure_egid(nullptr), XK_ERR_NULL_ARG);
    expect_single_trace("ensure_egid", XK_ERR_NULL_ARG);
    EXPECT_TRUE(lines().empty());
}

// Unprivileged, a group the process does not belong to is refused by setegid with EPERM.
TEST_F(EffectiveGroupTest, ForeignGroupIsRefusedWithoutPrivilege) {
    struct group *foreign = getgrgid(0);
    if (foreign == nullptr) GTEST_SKIP() << "group 0 has no name here";
    std::string name = foreign->gr_name;
    XK_EXPECT_CHILD_PASSES(xk::test::run_unprivileged([this, name] {
        xk::test::ChildChecks check;
        if (getegid() == 0) return std::string("SKIP: group 0 is ours");
        gid_t before = getegid();
        capture.clear();
        check.equal(ensure_egid(name.c_str()), XK_ERR_SYSTEM, "status");
        check.equal(getegid(), before, "egid");
        check.equal(lines().size(), 1u, "log lines");
        if (!lines().empty()) {
            check.equal(lines()[0].text,
                        "Failed to update effective gid for group " + name + "  Reason: " + strerror(EPERM),
                        "log");
            check.equal(lines()[0].file, "src/permissions/permissions_linux", "file");
        }
        check.equal(traces().size(), 1u, "trace records");
        return check.verdict();
    }));
}

}  // namespace
