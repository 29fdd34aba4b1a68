#include <locale.h>

#include <tuple>

#include "support/capture.h"
#include "xk/wide.h"

using WideTest = xk::test::ReportingTest;

TEST_F(WideTest, ConvertsInTheCallersLocale) {
    const std::string saved = setlocale(LC_CTYPE, nullptr);
    const std::tuple<const char *, const char *, size_t, std::wstring> cases[] = {
        // locale, text, length, wide
        {"C", "abc", 0, L"abc"},  // the length argument is not consulted
        {"C", "abc", 1000, L"abc"},
        {"C", "", 0, L""},
        {"C.UTF-8", "a\xc3\xa9", 3, L"a\u00e9"},
    };
    for (const auto &[locale, text, src_len, want] : cases) {
        EXPECT_NE(setlocale(LC_CTYPE, locale), nullptr);
        wchar_t *wide = nullptr;
        size_t len = 99;
        ASSERT_EQ(xk_util_char_to_wchar(text, src_len, &wide, &len), XK_OK) << text;
        EXPECT_EQ(std::wstring(wide, len + 1), want + L'\0') << text;
        EXPECT_STREQ(setlocale(LC_CTYPE, nullptr), locale);
        free(wide);
    }
    wchar_t *const untouched = reinterpret_cast<wchar_t *>(0x1);
    wchar_t *wide = untouched;
    size_t len = 42, invalid_len = 0;
    const std::vector<xk_util_status> refused = {
        xk_util_char_to_wchar(nullptr, 0, &wide, &len), xk_util_char_to_wchar("a", 1, &wide, nullptr),
        xk_util_char_to_wchar("a", 1, nullptr, &len), xk_util_char_to_wchar("a\x80", 2, &wide, &invalid_len)};
    setlocale(LC_CTYPE, saved.c_str());
    EXPECT_EQ(refused, (std::vector<xk_util_status>{3, 3, 3, XK_ERR_INVALID}));  // a lone continuation byte
    EXPECT_TRUE(wide == untouched && len == 42 &&
                invalid_len == SIZE_MAX);  // nothing allocated for invalid text
    std::string chain;
    for (const auto &r : traces()) chain += r.func + " " + std::to_string(r.status) + "; ";
    EXPECT_EQ(chain,
              "xk_util_char_to_wchar 3; xk_util_char_to_wchar 3; xk_util_char_to_wchar 3; "
              "xk_util_char_to_wchar 7; ");
    EXPECT_TRUE(lines().empty());
}
