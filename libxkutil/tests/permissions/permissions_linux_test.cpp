#include <grp.h>

#include "support/capture.h"

using namespace xk::test;
using EffectiveGroupTest = ReportingTest;

TEST_F(EffectiveGroupTest, LooksUpNamesOfUpTo32BytesAndSetsTheGroup) {
    std::string name(32, 'g');
    expect_report(ensure_egid(name.c_str()), XK_ERR_SYSTEM, {"Failed to find group " + name});
    expect_report(ensure_egid((name + "g").c_str()), XK_ERR_INVALID);
    expect_all({ensure_egid(nullptr)});
    const group *current = getgrgid(getegid());
    if (current == nullptr) GTEST_SKIP() << "groups without names here";
    expect_report(ensure_egid(current->gr_name), XK_OK);
}
