#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include "support/capture.h"
#include "xk/memory.h"

namespace {

using xk::test::ReportingTest;
using PrimitivesTest = ReportingTest;

TEST_F(PrimitivesTest, FreeClearsThePointerAndToleratesNull) {
    void *block = malloc(8);
    xk_util_free(&block);
    EXPECT_EQ(block, nullptr);
    xk_util_free(&block);  // second call frees nothing
    xk_util_free(nullptr);
    EXPECT_TRUE(traces().empty());
}

TEST_F(PrimitivesTest, MemdupCopiesAndRefusesNullSource) {
    EXPECT_EQ(xk_util_memdup(nullptr, 4), nullptr);
    EXPECT_EQ(xk_util_memdup0(nullptr, 4), nullptr);
    const unsigned char bytes[] = {1, 0, 2, 3};
    auto *copy = static_cast<unsigned char *>(xk_util_memdup(bytes, sizeof bytes));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(memcmp(copy, bytes, sizeof bytes), 0);
    free(copy);
}

TEST_F(PrimitivesTest, Memdup0AddsOneZeroByte) {
    auto *copy = static_cast<char *>(xk_util_memdup0("abcdef", 3));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(memcmp(copy, "abc\0", 4), 0);
    free(copy);
}

TEST_F(PrimitivesTest, StrncpyLeavesLongSourceUnterminated) {
    char dst[5];
    memset(dst, 'x', sizeof dst);
    xk_util_strncpy(dst, "abcd", 4);
    EXPECT_EQ(memcmp(dst, "abcdx", 5), 0);
    xk_util_strncpy(dst, "ab", 5);
    EXPECT_EQ(memcmp(dst, "ab\0\0\0", 5), 0);
}

TEST_F(PrimitivesTest, BoundedAndCaseInsensitiveForwards) {
    EXPECT_EQ(xk_util_strnlen("abcdef", 4), 4u);
    EXPECT_EQ(xk_util_strnlen("ab", 4), 2u);
    char *dup = xk_util_strndup("abcdef", 3);
    ASSERT_NE(dup, nullptr);
    EXPECT_STREQ(dup, "abc");
    free(dup);
    EXPECT_EQ(xk_util_strcasecmp("Hello", "hELLO"), 0);
    EXPECT_LT(xk_util_strcasecmp("apple", "Banana"), 0);
    const char hay[] = "xxneedlexx";
    EXPECT_EQ(xk_util_memmem(hay, 10, "needle", 6), hay + 2);
    EXPECT_EQ(xk_util_memmem(hay, 10, "pin", 3), nullptr);
}

TEST_F(PrimitivesTest, GetlineTakesTheStreamFirst) {
    char text[] = "one\ntwo";
    FILE *stream = fmemopen(text, strlen(text), "r");
    ASSERT_NE(stream, nullptr);
    char *line = nullptr;
    size_t cap = 0;
    EXPECT_EQ(xk_util_getline(stream, &line, &cap), 4);
    EXPECT_STREQ(line, "one\n");
    EXPECT_EQ(xk_util_getline(stream, &line, &cap), 3);
    EXPECT_STREQ(line, "two");
    EXPECT_EQ(xk_util_getline(stream, &line, &cap), -1);
    free(line);
    fclose(stream);
}

}  // namespace
