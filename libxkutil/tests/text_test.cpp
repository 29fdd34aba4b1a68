// SPDX-License-Identifier: MIT
#include "support/capture.h"

using TextTest = xk::test::ReportingTest;

// Thin wrappers over the C library (the copies are checked with the allocation faults): their
// argument order, bounds and nulls.
TEST(PrimitivesTest, FreeBoundedStringsAndLines) {
    void *block = malloc(8);
    xk_util_free(&block), xk_util_free(&block), xk_util_free(nullptr);  // then nothing left to free
    char dst[6] = "xxxxx", text[] = "one\ntwo", *line = nullptr;
    size_t cap = 0;
    FILE *stream = fmemopen(text, 7, "r");
    const ssize_t got = xk_util_getline(stream, &line, &cap);  // the stream comes first
    EXPECT_EQ(std::to_string(got) + line + xk_util_strncpy(dst, "abcd", 4), "4one\nabcdx");  // no terminator
    EXPECT_TRUE(block == nullptr && xk_util_memdup(nullptr, 4) == nullptr &&
                xk_util_memdup0(nullptr, 4) == nullptr && xk_util_strnlen("abcdef", 4) == 4 &&
                xk_util_strcasecmp("Hello", "hELLO") == 0 &&
                xk_util_memmem("xxneedlexx", 7, "needle", 6) == nullptr);  // bounded by the haystack's length
    free(line), fclose(stream);
}

// The bounded form gives -1, leaving what fits, when the text does not fit or the size passes
// INT32_MAX. Refusals touch nothing.
TEST_F(TextTest, BoundsAndRefusals) {
    int err = 99;
    char *out = reinterpret_cast<char *>(0x1);
    const char *no_format = nullptr;
    std::string got;
    for (size_t cap : {size_t{3}, size_t{2}, size_t{0}, size_t{INT32_MAX} + 1}) {
        char buf[4] = "xxx";
        got += std::to_string(xk_util_snprintf(buf, cap, "%02x", 0xAB)) + buf + " ";
    }
    EXPECT_EQ(
        got + chain({xk_util_asprintf(nullptr, &err, "%d", 1), xk_util_asprintf(&out, &err, no_format)}),
        "2ab -1a -1xxx -1xxx 33; vasprintf 3; vasprintf 3");
    EXPECT_TRUE(err == 99 && out == reinterpret_cast<char *>(0x1));
}

// Refusals leave the outputs; invalid text (a high byte, in the C locale the tests run in) allocates
// nothing and gives the length SIZE_MAX.
TEST_F(TextTest, RefusalsAndInvalidText) {
    wchar_t *const untouched = reinterpret_cast<wchar_t *>(0x1), *wide = untouched;
    size_t len = 42, invalid_len = 0;
    EXPECT_EQ(
        chain({xk_util_char_to_wchar(nullptr, 0, &wide, &len), xk_util_char_to_wchar("a", 1, &wide, nullptr),
               xk_util_char_to_wchar("a", 1, nullptr, &len),
               xk_util_char_to_wchar("a\x80", 2, &wide, &invalid_len)}),
        "3337; char_to_wchar 3; char_to_wchar 3; char_to_wchar 3; char_to_wchar 7");
    EXPECT_TRUE(wide == untouched && len == 42 && invalid_len == SIZE_MAX);  // nothing allocated
}

// Two lower-case digits per byte, no separators, no newline; nulls are refused.
TEST_F(TextTest, PrintsPairsAndRefusesNulls) {
    const uint8_t data[] = {0x00, 0xAB, 0x7F};
    testing::internal::CaptureStdout();
    EXPECT_EQ(xk_util_printf_bytes(data, 0) + xk_util_printf_bytes(data, 3), XK_OK);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "00ab7f");
    std::vector<uint32_t> refused = {xk_util_fprintf_bytes(nullptr, data, 1),
                                     xk_util_fprintf_bytes(stdout, nullptr, 1),
                                     xk_util_printf_bytes(nullptr, 1)};
    EXPECT_EQ(traces().at(2).file, "src/file/common");
    EXPECT_EQ(chain(refused), "333; fprintf_bytes 3; fprintf_bytes 3; printf_bytes 3");
}
