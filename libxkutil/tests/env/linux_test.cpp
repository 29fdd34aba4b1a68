#include "support/capture.h"

using EnvTest = xk::test::ReportingTest;

TEST_F(EnvTest, CopiesSetsAndUnsetsVariablesAndReadsTheHostName) {
    const char *name = "XK_ENV_TEST_VARIABLE";
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
    expect_all({xk_util_unsetenv(name), xk_util_unsetenv(name)}, XK_OK);  // not set is no error
    expect_all({xk_util_setenv(name, nullptr), xk_util_setenv(nullptr, "v"), xk_util_unsetenv(nullptr)});
    EXPECT_EQ(getenv(name), nullptr);  // a refused value is not handed on
}
