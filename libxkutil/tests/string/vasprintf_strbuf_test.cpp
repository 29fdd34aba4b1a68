// SPDX-License-Identifier: MIT
#include <locale.h>

#include <memory>
#include <random>

#include "support/capture.h"
#include "support/hexdump_reference.h"

namespace {

using StrbufTest = xk::test::ReportingTest;
using Buffer = std::unique_ptr<xk_util_strbuf, decltype(&xk_util_strbuf_free)>;
Buffer make(int capacity = 0) { return Buffer(xk_util_strbuf_new(capacity), xk_util_strbuf_free); }
// Everything a caller can see of a buffer: its whole storage, its capacity and its limit.
auto seen(const xk_util_strbuf *sb) {
    return std::tuple(std::string(sb->str, sb->capacity), sb->capacity, sb->hex_limit);
}

// {held, appended width, capacity after}: growth is the appended length + the text + 128; each
// row first appends a zero byte after its text, which must not count.
TEST_F(StrbufTest, AppendsGrowByTheirLengthPlusTheTextPlus128AndFailuresLogTwoLines) {
    const std::tuple<std::string, int, int> cases[] = {
        {"", 127, 128}, {"", 128, 256}, {"", 200, 328}, {"x", 200, 329}, {"x", 3, 128}};
    for (const auto &[held, width, capacity] : cases) {
        Buffer sb = make();
        EXPECT_EQ(xk_util_strbuf_append_f(sb.get(), "%s%c", held.c_str(), 0),
                  static_cast<int>(held.size()) + 1);
        EXPECT_EQ(xk_util_strbuf_append_f(sb.get(), "%*s", width, "z"), width);
        std::string text = held + std::string(width - 1, ' ') + "z";
        EXPECT_EQ(seen(sb.get()),
                  std::tuple(text + std::string(capacity - text.size(), '\0'), capacity, 256));
    }
    Buffer sb = make();
    char *storage = sb->str;
    xk_util_strbuf_append_f(sb.get(), "old"), xk_util_strbuf_clear(sb.get()),
        xk_util_strbuf_append_f(sb.get(), "n");
    EXPECT_EQ(std::tuple(sb->str, std::string(sb->str), make(10)->capacity, make(-1).get(),
                         xk_util_strbuf_getstr(nullptr)),
              std::tuple(storage, "n", 10, nullptr, nullptr));
    for (int32_t capacity : {0, 4}) {  // a record without storage gets its capacity, or 128
        xk_util_strbuf bare{nullptr, capacity, 0};
        EXPECT_EQ(xk_util_strbuf_append_f(&bare, "%s", "hi"), 2);
        EXPECT_EQ(std::tuple(std::string(bare.str), bare.capacity),
                  std::tuple("hi", capacity ? capacity : 128));
        free(bare.str);
    }
    // A formatter that fails doubles the capacity; past 32 bits that is a resize refused.
    ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
    const wchar_t bad[] = {static_cast<wchar_t>(0xD800), 0};
    char kept[16] = "kept";
    xk_util_strbuf big{kept, 1 << 30, 256};
    EXPECT_EQ(xk_util_strbuf_append_f(nullptr, "%d", 1) + xk_util_strbuf_append_f(&big, "%ls", bad), -2);
    EXPECT_EQ(std::tuple(big.str, big.capacity, std::string(kept)), std::tuple(kept, 1 << 30, "kept"));
    for (const auto &l : lines())
        EXPECT_EQ(std::tuple(l.func, l.level, l.file, l.line),
                  std::tuple("xk_util_strbuf_append_fv", 3, "", 0));
    EXPECT_EQ(chain({}),
              " | NULL strbuf | Error in strbuf | Could not realloc strbuf to 2147483648 | Error in strbuf");
}

// The worked layouts and limits; the rest is held against the reference below.
TEST_F(StrbufTest, HexdumpLayoutAndLimit) {
    std::string bytes(300, '\0'),
        first = "P41 42 43 44 45 46 47 48 - 49 4A 4B 4C 4D 4E 4F 50 : ABCDEFGHIJKLMNOP\n";
    for (int i = 0; i < 300; ++i) bytes[i] = static_cast<char>(i < 20 ? 0x41 + i : i);
    const std::tuple<int, const char *, std::string, std::string> cases[] = {
        {256, "P", bytes.substr(0, 20), first + "P51 52 53 54 : QRST\n"},
        {256, "P", bytes.substr(0, 16), first},
        {256, nullptr, "\n", "    0A : .\n"},
        {-1, "", bytes, "\n"},
        {256, "", "", ""},
        {256, "", bytes, "#" + std::to_string(16 * 69)},
        {0, "", bytes, "#" + std::to_string(18 * 69 + 53)}};  // 16 lines of 69, or all 300
    for (const auto &[limit, prefix, data, want] : cases) {
        Buffer sb = make();
        xk_util_strbuf_set_hex_limit(sb.get(), limit),
            xk_util_strbuf_hexdump(sb.get(), prefix, data.data(), data.size());
        EXPECT_EQ(want[0] == '#' ? "#" + std::to_string(strlen(sb->str)) : sb->str, want);
    }
    xk_util_strbuf_hexdump(nullptr, "", bytes.data(), 1), xk_util_strbuf_set_hex_limit(nullptr, 1);
}

TEST_F(StrbufTest, SubstituteExamplesAndRefusals) {
    const std::tuple<const char *, const char *, int, const char *, int, const char *, int> cases[] = {
        {"a$Xb$X", "$X", 0, "%d", 42, "a42b42", 0}, {"a$Xb$X", "$X", 1, "%d", 42, "a42b$X", 0},
        {"abc", "abc", 0, "%d", 42, "42", -1},      {"a$X", "$X", -1, "%d", 42, "a$X", 0},
        {"text", "", 3, "%d", 42, "424242text", 6}, {"a$Xb", "$X", 0, "%c", 0, "ab", -1}};
    for (const auto &[text, needle, max_count, format, value, want, result] : cases) {
        Buffer sb = make(4);
        xk_util_strbuf_set_hex_limit(sb.get(), 7), xk_util_strbuf_append_f(sb.get(), "%s", text);
        EXPECT_EQ(xk_util_strbuf_substitute(sb.get(), needle, max_count, format, value), result) << text;
        EXPECT_EQ(std::tuple(std::string(sb->str), sb->hex_limit), std::tuple(want, 7));
    }
    Buffer sb = make();
    xk_util_strbuf_append_f(sb.get(), "a$X");
    auto before = seen(sb.get());
    EXPECT_EQ(xk_util_strbuf_substitute(sb.get(), nullptr, 0, "%d", 1) |
                  xk_util_strbuf_substitute(nullptr, "$X", 0, "%d", 1) |
                  xk_util_strbuf_substitute(sb.get(), "$X", 0, nullptr) |
                  xk_util_strbuf_substitute(sb.get(), "", 0, "%d", 1),
              0);
    EXPECT_EQ(seen(sb.get()), before);
    sb->capacity = -5;  // no scratch can be made: nothing changes
    EXPECT_EQ(xk_util_strbuf_substitute(sb.get(), "$X", 0, "%d", 1), 0);
    EXPECT_EQ(std::tuple(std::string(sb->str), sb->capacity, lines().size()), std::tuple("a$X", -5, 0u));
    sb->capacity = 128;
}

// Random texts, capacities and limits (the default among them); dumps of random bytes and prefixes;
// substitutions of random needles, limits and replacements, zero bytes among them, with bytes left
// past the text: the result and all a caller sees match the appends one by one.
TEST_F(StrbufTest, DumpsAndSubstitutionsMatchTheirAppendsOneByOne) {
    std::mt19937 gen(11);
    const std::string longer(300, '>');
    const char *needles[] = {"$X", "a", "aa", "", "%"}, *pieces[] = {"", "q", "%d", longer.c_str()},
               *prefixes[] = {nullptr, "", "%s", longer.c_str()};
    for (int round = 0; round < 4000; ++round) {
        std::string text, bytes(gen() % 300, '\0');
        for (int n = static_cast<int>(gen() % 40); n > 0; --n) text += "a$X%b"[gen() % 5];
        for (char &b : bytes) b = static_cast<char>(gen());
        const char *needle = needles[gen() % 5], *head = pieces[gen() % 4], *tail = pieces[gen() % 4];
        int max_count = static_cast<int>(gen() % 5) - 1, capacity = 1 + static_cast<int>(gen() % 60);
        int middle = gen() % 2 ? 0 : 'z', limit = gen() % 4 ? static_cast<int>(gen() % 40) - 2 : 256;
        const char *prefix = prefixes[gen() % 4], *left_over = gen() % 3 ? "" : "left over";
        max_count += *needle == '\0' && max_count == 0;
        Buffer ours = make(capacity), theirs = make(capacity);
        for (xk_util_strbuf *sb : {ours.get(), theirs.get()}) {
            xk_util_strbuf_append_f(sb, "%s", left_over), xk_util_strbuf_clear(sb);
            xk_util_strbuf_append_f(sb, "%s", text.c_str()), xk_util_strbuf_set_hex_limit(sb, limit);
        }
        int got = xk_util_strbuf_substitute(ours.get(), needle, max_count, "%s%c%s", head, middle, tail);
        ASSERT_EQ(got, xk::test::substitute_by_appends(theirs.get(), needle, max_count, "%s%c%s", head,
                                                       middle, tail))
            << round << text << needle;
        ASSERT_EQ(seen(ours.get()), seen(theirs.get())) << round;
        xk_util_strbuf_hexdump(ours.get(), prefix, bytes.data(), bytes.size());
        xk::test::reference_hexdump(theirs.get(), prefix, bytes.data(), bytes.size());
        ASSERT_EQ(seen(ours.get()), seen(theirs.get())) << round;
    }
    EXPECT_TRUE(lines().empty());
}

}  // namespace
