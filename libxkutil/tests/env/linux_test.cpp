#include "support/capture.h"

// Each test owns one variable and removes it afterwards.
class EnvTest : public xk::test::ReportingTest {
protected:
    void TearDown() override { unsetenv(name); }
    const char *name = "XK_ENV_TEST_VARIABLE";
};

TEST_F(EnvTest, CopiesValuesOfUpTo299Bytes) {
    const std::pair<std::string, bool> cases[] = {
        {std::string(299, 'v'), true}, {std::string(300, 'v'), false}, {"", true}};
    for (const auto &[value, copied] : cases) {
        setenv(name, value.c_str(), 1);
        char *copy = xk_util_getenv(name);
        setenv(name, "changed", 1);  // the copy is private
        EXPECT_EQ(copy ? std::string(copy) : "<null>", copied ? value : "<null>");
        free(copy);
    }
    unsetenv(name);
    EXPECT_EQ(std::tuple(xk_util_getenv(name), xk_util_getenv(nullptr)), std::tuple(nullptr, nullptr));
    char expected[256] = {}, *host = xk_util_get_hostname();
    gethostname(expected, sizeof expected - 1);
    EXPECT_STREQ(host, expected);
    free(host);
    expect_report(XK_OK, XK_OK);
}

TEST_F(EnvTest, SetReplacesUnsetRemovesAndRefusalsAreLogged) {
    expect_report(xk_util_setenv(name, "one"), XK_OK);
    expect_report(xk_util_setenv(name, "two"), XK_OK);
    EXPECT_STREQ(getenv(name), "two");
    expect_report(xk_util_unsetenv(name), XK_OK);
    expect_report(xk_util_unsetenv(name), XK_OK);  // not set is no error
    EXPECT_EQ(getenv(name), nullptr);
    expect_report(xk_util_setenv(name, nullptr), XK_ERR_NULL_ARG);  // refused, not handed on
    expect_report(xk_util_setenv(nullptr, "v"), XK_ERR_NULL_ARG);
    expect_report(xk_util_unsetenv(nullptr), XK_ERR_NULL_ARG);
    expect_report(xk_util_setenv("A=B", "v"), XK_ERR_SYSTEM,
                  {std::string("Failed to set environment variable: ") + strerror(EINVAL)});
    expect_report(xk_util_unsetenv(""), XK_ERR_SYSTEM,
                  {std::string("Failed to unset environment variable: ") + strerror(EINVAL)});
}
