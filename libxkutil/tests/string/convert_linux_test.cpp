#include <locale.h>

#include "support/capture.h"
#include "xk/wide.h"

using WideTest = xk::test::ReportingTest;

// The text is read in the caller's locale, left as it was; the length argument is not consulted.
TEST_F(WideTest, ConvertsInTheCallersLocale) {
    const std::string saved = setlocale(LC_CTYPE, nullptr);
    wchar_t *wide = nullptr, *const untouched = reinterpret_cast<wchar_t *>(0x1);
    size_t len = 99, invalid_len = 0;
    ASSERT_NE(setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    ASSERT_EQ(xk_util_char_to_wchar("a\xc3\xa9", 0, &wide, &len), XK_OK);
    EXPECT_TRUE(std::wstring(wide, len + 1) == std::wstring(L"a\u00e9\0", 3) &&
                strcmp(setlocale(LC_CTYPE, nullptr), "C.UTF-8") == 0);
    free(wide);
    wide = untouched, len = 42;
    std::string chain;
    for (xk_util_status st :
         {xk_util_char_to_wchar(nullptr, 0, &wide, &len), xk_util_char_to_wchar("a", 1, &wide, nullptr),
          xk_util_char_to_wchar("a", 1, nullptr, &len),
          xk_util_char_to_wchar("a\x80", 2, &wide, &invalid_len)})  // a lone continuation byte
        chain += std::to_string(st);
    setlocale(LC_CTYPE, saved.c_str());
    for (const auto &r : traces()) chain += "; " + r.func.substr(8) + " " + std::to_string(r.status);
    EXPECT_EQ(chain, "3337; char_to_wchar 3; char_to_wchar 3; char_to_wchar 3; char_to_wchar 7");
    EXPECT_TRUE(wide == untouched && len == 42 && invalid_len == SIZE_MAX &&
                lines().empty());  // nothing allocated
}
