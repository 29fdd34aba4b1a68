#include <errno.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "support/capture.h"
#include "xk/env.h"

namespace {

// Each test owns one variable name and removes it afterwards.
class EnvTest : public xk::test::ReportingTest {
protected:
    void TearDown() override { unsetenv(name); }
    const char *name = "XK_ENV_TEST_VARIABLE";
};

TEST_F(EnvTest, ValuesUpTo299BytesAreCopiedLongerOnesAreAbsent) {
    setenv(name, std::string(299, 'v').c_str(), 1);
    char *value = xk_util_getenv(name);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(std::string(value), std::string(299, 'v'));
    setenv(name, "changed", 1);
    EXPECT_EQ(value[0], 'v');  // a private copy
    free(value);
    setenv(name, std::string(300, 'v').c_str(), 1);
    EXPECT_EQ(xk_util_getenv(name), nullptr);
}

TEST_F(EnvTest, EmptyValueIsAnEmptyStringAndUnsetOrNullIsNull) {
    setenv(name, "", 1);
    char *value = xk_util_getenv(name);
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "");
    free(value);
    unsetenv(name);
    EXPECT_EQ(xk_util_getenv(name), nullptr);
    EXPECT_EQ(xk_util_getenv(nullptr), nullptr);
    EXPECT_TRUE(lines().empty());
}

TEST_F(EnvTest, SetReplacesAndUnsetRemoves) {
    ASSERT_EQ(xk_util_setenv(name, "one"), XK_OK);
    ASSERT_EQ(xk_util_setenv(name, "two"), XK_OK);
    EXPECT_STREQ(getenv(name), "two");
    ASSERT_EQ(xk_util_unsetenv(name), XK_OK);
    EXPECT_EQ(getenv(name), nullptr);
    EXPECT_EQ(xk_util_unsetenv(name), XK_OK);  // not set is not an error
    EXPECT_TRUE(traces().empty());
}

// A NULL value is refused rather than handed to setenv.
TEST_F(EnvTest, NullNameOrValueIsRefusedWithoutALogLine) {
    EXPECT_EQ(xk_util_setenv(name, nullptr), XK_ERR_NULL_ARG);
    EXPECT_EQ(getenv(name), nullptr);
    EXPECT_EQ(xk_util_setenv(nullptr, "v"), XK_ERR_NULL_ARG);
    EXPECT_EQ(xk_util_unsetenv(nullptr), XK_ERR_NULL_ARG);
    EXPECT_EQ(traces().size(), 3u);
    EXPECT_TRUE(lines().empty());
}

TEST_F(EnvTest, RefusedNamesAreLoggedWithTheReason) {
    EXPECT_EQ(xk_util_setenv("A=B", "v"), XK_ERR_SYSTEM);
    EXPECT_EQ(xk_util_unsetenv(""), XK_ERR_SYSTEM);
    ASSERT_EQ(lines().size(), 2u);
    EXPECT_EQ(lines()[0].text, std::string("Failed to set environment variable: ") + strerror(EINVAL));
    EXPECT_EQ(lines()[1].text, std::string("Failed to unset environment variable: ") + strerror(EINVAL));
    EXPECT_EQ(lines()[0].file, "src/env/linux");
    auto records = traces();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].func, "xk_util_setenv");
    EXPECT_EQ(records[1].func, "xk_util_unsetenv");
}

TEST(HostName, MatchesGethostname) {
    char expected[256] = {};
    ASSERT_EQ(gethostname(expected, sizeof expected - 1), 0);
    char *name = xk_util_get_hostname();
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, expected);
    free(name);
}

}  // namespace
