#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>
#include <wchar.h>

#include <string>

#include "support/capture.h"
#include "xk/wide.h"

namespace {

// Each test picks its locale and puts the previous one back.
class WideTest : public xk::test::ReportingTest {
protected:
    WideTest() : saved_(setlocale(LC_ALL, nullptr)) {}
    ~WideTest() override { setlocale(LC_ALL, saved_.c_str()); }

private:
    std::string saved_;
};

TEST_F(WideTest, ConvertsAsciiAndEmptyText) {
    ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
    for (size_t src_len : {size_t{0}, size_t{3}, size_t{1000}}) {
        wchar_t *wide = nullptr;
        size_t len = 99;
        ASSERT_EQ(xk_util_char_to_wchar("abc", src_len, &wide, &len), XK_OK);
        EXPECT_EQ(len, 3u);
        EXPECT_EQ(std::wstring(wide), L"abc");
        free(wide);
    }
    wchar_t *wide = nullptr;
    size_t len = 99;
    ASSERT_EQ(xk_util_char_to_wchar("", 0, &wide, &len), XK_OK);
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(wide[0], L'\0');
    free(wide);
    EXPECT_TRUE(traces().empty());
}

TEST_F(WideTest, UsesTheCallersUtf8Locale) {
    ASSERT_NE(setlocale(LC_ALL, "C.UTF-8"), nullptr);
    wchar_t *wide = nullptr;
    size_t len = 0;
    ASSERT_EQ(xk_util_char_to_wchar("a\xc3\xa9", 3, &wide, &len), XK_OK);
    EXPECT_EQ(len, 2u);
    EXPECT_EQ(wide[1], static_cast<wchar_t>(0xE9));
    EXPECT_EQ(wide[2], L'\0');
    free(wide);
    EXPECT_STREQ(setlocale(LC_CTYPE, nullptr), "C.UTF-8");

    wchar_t *untouched = reinterpret_cast<wchar_t *>(0x1);
    EXPECT_EQ(xk_util_char_to_wchar("a\x80", 2, &untouched, &len), XK_ERR_INVALID);
    EXPECT_EQ(untouched, reinterpret_cast<wchar_t *>(0x1));
    EXPECT_EQ(len, static_cast<size_t>(-1));
    expect_single_trace("xk_util_char_to_wchar", XK_ERR_INVALID);
    EXPECT_TRUE(lines().empty());
}

TEST_F(WideTest, NullArgumentsWriteNothing) {
    wchar_t *wide = nullptr;
    size_t len = 42;
    EXPECT_EQ(xk_util_char_to_wchar(nullptr, 0, &wide, &len), XK_ERR_NULL_ARG);
    EXPECT_EQ(len, 42u);
    expect_single_trace("xk_util_char_to_wchar", XK_ERR_NULL_ARG);
    capture.clear();
    EXPECT_EQ(xk_util_char_to_wchar("a", 1, &wide, nullptr), XK_ERR_NULL_ARG);
    EXPECT_EQ(wide, nullptr);
    expect_single_trace("xk_util_char_to_wchar", XK_ERR_NULL_ARG);
}

}  // namespace
