#include "support/capture.h"

// Each test owns one variable and removes it afterwards.
class EnvTest : public xk::test::ReportingTest {
protected:
    void TearDown() override { unsetenv(name); }
    const char *name = "XK_ENV_TEST_VARIABLE";
};

TEST_F(EnvTest, CopiesValuesOfUpTo299BytesAndTheHostName) {
    for (const std::string &value : {std::string(299, 'v'), std::string(300, 'v'), std::string()}) {
        setenv(name, value.c_str(), 1);
        char *copy = xk_util_getenv(name);
        setenv(name, "changed", 1);  // the copy is private; 300 bytes or more count as absent
        EXPECT_EQ(copy ? std::string(copy) : "<null>", value.size() < 300 ? value : "<null>");
        free(copy);
    }
    char expected[256] = {}, *host = xk_util_get_hostname();
    gethostname(expected, sizeof expected - 1);
    EXPECT_EQ(std::tuple(std::string(host), xk_util_getenv("XK_ENV_UNSET"), xk_util_getenv(nullptr)),
              std::tuple(expected, nullptr, nullptr));
    free(host);
}

TEST_F(EnvTest, SetReplacesUnsetRemovesAndRefusalsAreLogged) {
    expect_report(xk_util_setenv(name, "one"), XK_OK);
    expect_report(xk_util_setenv(name, "two"), XK_OK);
    EXPECT_STREQ(getenv(name), "two");
    expect_report(xk_util_unsetenv(name), XK_OK);
    expect_report(xk_util_unsetenv(name), XK_OK);                   // not set is no error
    expect_report(xk_util_setenv(name, nullptr), XK_ERR_NULL_ARG);  // refused, not handed on
    expect_report(xk_util_setenv(nullptr, "v"), XK_ERR_NULL_ARG);
    expect_report(xk_util_unsetenv(nullptr), XK_ERR_NULL_ARG);
    EXPECT_EQ(getenv(name), nullptr);
    expect_report(xk_util_setenv("A=B", "v"), XK_ERR_SYSTEM,
                  {std::string("Failed to set environment variable: ") + strerror(EINVAL)});
    expect_report(xk_util_unsetenv(""), XK_ERR_SYSTEM,
                  {std::string("Failed to unset environment variable: ") + strerror(EINVAL)});
}
