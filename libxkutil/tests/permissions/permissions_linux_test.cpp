#include "file/file_support.h"

using namespace xk::test;
using EffectiveGroupTest = ReportingTest;

TEST_F(EffectiveGroupTest, LooksUpNamesOfUpTo32BytesAndSetsTheGroup) {
    std::string name(32, 'g');
    expect_report(ensure_egid(name.c_str()), XK_ERR_SYSTEM, {"Failed to find group " + name});
    expect_report(ensure_egid((name + "g").c_str()), XK_ERR_INVALID);
    expect_report(ensure_egid(nullptr), XK_ERR_NULL_ARG);
    const group *current = getgrgid(getegid()), *root = getgrgid(0);
    if (current == nullptr || root == nullptr) GTEST_SKIP() << "groups without names here";
    expect_report(ensure_egid(current->gr_name), XK_OK);
    run_unprivileged([this, name = std::string(root->gr_name)] {  // a group it is not in is refused
        gid_t before = getegid();
        if (before != 0)
            expect_report(ensure_egid(name.c_str()), XK_ERR_SYSTEM,
                          {with_reason("Failed to update effective gid for group " + name, EPERM)});
        EXPECT_EQ(getegid(), before);
    });
}
