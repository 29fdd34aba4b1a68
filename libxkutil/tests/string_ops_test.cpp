#include <gtest/gtest.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "internal/hex_roads.h"
#include "support/capture.h"
#include "xk/hex.h"
#include "xk/strings.h"

namespace {

using StringOpsTest = xk::test::ReportingTest;

// Splits and returns the fields, freeing what the split handed out.
std::vector<std::string> split(const char *text, const char *delim) {
    char **fields = reinterpret_cast<char **>(0x1);
    size_t count = 99;
    EXPECT_EQ(xk_util_split(text, delim, &fields, &count), XK_OK);
    std::vector<std::string> out;
    if (count == 0) {
        EXPECT_EQ(fields, nullptr);
    }
    for (size_t i = 0; i < count; ++i) {
        out.emplace_back(fields[i]);
        free(fields[i]);
    }
    free(fields);
    return out;
}

using Fields = std::vector<std::string>;

TEST_F(StringOpsTest, StrReplaceStopsAtTheLimitOrTheEnd) {
    char text[] = "a.b.c";
    EXPECT_EQ(xk_util_str_replace(text, 3, '.', '_'), XK_OK);
    EXPECT_STREQ(text, "a_b.c");
    char zeroed[] = "a.b.c";
    EXPECT_EQ(xk_util_str_replace(zeroed, 5, '.', '\0'), XK_OK);
    EXPECT_EQ(memcmp(zeroed, "a\0b\0c", 6), 0);
    char past[] = "ab\0ab";
    EXPECT_EQ(xk_util_str_replace(past, 5, 'a', 'x'), XK_OK);
    EXPECT_EQ(xk_util_str_replace(past, 5, '\0', 'x'), XK_OK);
    EXPECT_EQ(memcmp(past, "xb\0ab", 6), 0);
    EXPECT_EQ(xk_util_str_replace(nullptr, 5, 'a', 'b'), XK_OK);
    EXPECT_TRUE(traces().empty());
}

TEST_F(StringOpsTest, SplitDropsEmptyFields) {
    EXPECT_EQ(split("a,,b,", ","), (Fields{"a", "b"}));
    EXPECT_EQ(split(",,a", ","), (Fields{"a"}));
    EXPECT_EQ(split(",,,", ","), Fields{});
    EXPECT_EQ(split("", ","), Fields{});
    EXPECT_EQ(split("no delimiter", ","), (Fields{"no delimiter"}));
    EXPECT_EQ(split("a--b", "--"), (Fields{"a", "b"}));
    EXPECT_EQ(split("a---b", "--"), (Fields{"a", "-b"}));
    EXPECT_EQ(split("a--b-", "--"), (Fields{"a", "b-"}));
    EXPECT_EQ(split("one, two,, three", ", "), (Fields{"one", "two,", "three"}));
    // An empty delimiter gives the whole text as one field.
    EXPECT_EQ(split("a,b", ""), (Fields{"a,b"}));
    EXPECT_EQ(split("", ""), Fields{});
    EXPECT_TRUE(traces().empty());
}

TEST_F(StringOpsTest, SplitNullArgumentLogsThePointers) {
    char **fields = nullptr;
    size_t count = 7;
    EXPECT_EQ(xk_util_split("a", nullptr, &fields, &count), XK_ERR_NULL_ARG);
    EXPECT_EQ(count, 7u);
    expect_single_trace("xk_util_split", XK_ERR_NULL_ARG);
    char expected[128];
    snprintf(expected, sizeof expected, "NULL argument detected: %p %p %p %p", static_cast<const void *>("a"),
             nullptr, static_cast<void *>(&fields), static_cast<void *>(&count));
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].level, 3);
    EXPECT_EQ(lines()[0].file, "");
    EXPECT_EQ(lines()[0].text, expected);
}

TEST_F(StringOpsTest, JoinCountsTheTerminator) {
    const char *letters[] = {"a", "b", "c"};
    char *out = nullptr;
    size_t size = 0;
    ASSERT_EQ(xk_util_join(letters, 3, ", ", &out, &size), XK_OK);
    EXPECT_STREQ(out, "a, b, c");
    EXPECT_EQ(size, 8u);
    free(out);
    const char *empty[] = {""};
    ASSERT_EQ(xk_util_join(empty, 1, ", ", &out, &size), XK_OK);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(size, 1u);
    free(out);
    EXPECT_TRUE(traces().empty());

    out = reinterpret_cast<char *>(0x1);
    EXPECT_EQ(xk_util_join(letters, 0, ",", &out, &size), XK_ERR_NULL_ARG);
    EXPECT_EQ(xk_util_join(letters, 3, nullptr, &out, &size), XK_ERR_NULL_ARG);
    EXPECT_EQ(out, reinterpret_cast<char *>(0x1));
    EXPECT_EQ(traces().size(), 2u);
    EXPECT_TRUE(lines().empty());
}

// Strings of every short length, in counts past the lengths the join keeps from measuring.
TEST_F(StringOpsTest, JoinMatchesConcatenationOnRandomStrings) {
    std::mt19937 gen(7);
    for (const char *sep : {"", ",", "<->"}) {
        for (size_t count : {1u, 2u, 511u, 512u, 513u, 1500u}) {
            std::vector<std::string> texts(count);
            for (auto &t : texts) t.assign(gen() % 41, static_cast<char>('a' + gen() % 26));
            std::vector<const char *> strings;
            std::string expected;
            for (const auto &t : texts) {
                strings.push_back(t.c_str());
                expected += (strings.size() > 1 ? sep : "") + t;
            }
            char *out = nullptr;
            size_t size = 0;
            ASSERT_EQ(xk_util_join(strings.data(), count, sep, &out, &size), XK_OK);
            EXPECT_EQ(size, expected.size() + 1);
            EXPECT_EQ(std::string(out, size), expected + '\0') << "count " << count << " sep " << sep;
            free(out);
        }
    }
}

TEST_F(StringOpsTest, AppendStringChecksInOrder) {
    char *text = nullptr;
    size_t len = 0;
    ASSERT_EQ(xk_util_append_string(&text, &len, "abcXX", 3), XK_OK);
    ASSERT_EQ(xk_util_append_string(&text, &len, "de", 2), XK_OK);
    EXPECT_STREQ(text, "abcde");
    EXPECT_EQ(len, 5u);
    char *kept = text;
    EXPECT_EQ(xk_util_append_string(&text, &len, "f", 0), XK_ERR_INVALID);
    EXPECT_EQ(xk_util_append_string(&text, nullptr, "f", 0), XK_ERR_NULL_ARG);
    size_t zero = 0;
    EXPECT_EQ(xk_util_append_string(&text, &zero, "f", 1), XK_ERR_INVALID);
    size_t huge = SIZE_MAX - 3;
    EXPECT_EQ(xk_util_append_string(&text, &huge, "fgh", 3), XK_ERR_OVERFLOW);
    EXPECT_EQ(xk_util_append_string(&text, &huge, "fgh", 4), XK_ERR_OVERFLOW);
    EXPECT_EQ(huge, SIZE_MAX - 3);
    EXPECT_EQ(text, kept);
    EXPECT_EQ(len, 5u);
    EXPECT_STREQ(text, "abcde");
    auto records = traces();
    ASSERT_EQ(records.size(), 5u);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(records[i].func, "xk_util_append_string");
    EXPECT_EQ(records[0].status, XK_ERR_INVALID);
    EXPECT_EQ(records[1].status, XK_ERR_NULL_ARG);
    EXPECT_LT(records[1].line, records[0].line);
    EXPECT_LT(records[0].line, records[2].line);
    EXPECT_EQ(records[4].status, XK_ERR_OVERFLOW);
    free(text);
}

TEST_F(StringOpsTest, HexTextRoundTripsEveryByte) {
    uint8_t all[256];
    std::string expected;
    for (int i = 0; i < 256; ++i) {
        all[i] = static_cast<uint8_t>(i);
        char pair[3];
        snprintf(pair, sizeof pair, "%02x", i);
        expected += pair;
    }
    char *text = nullptr;
    ASSERT_EQ(xk_util_sprintf_bytes(all, 256, &text), XK_OK);
    EXPECT_EQ(std::string(text), expected);
    for (char *c = text; *c != '\0'; ++c) *c = static_cast<char>(toupper(*c));
    uint8_t *bytes = nullptr;
    ASSERT_EQ(xk_util_sscanf_bytes(text, 512, &bytes), XK_OK);
    EXPECT_EQ(memcmp(bytes, all, 256), 0);
    free(bytes);
    free(text);
    ASSERT_EQ(xk_util_sprintf_bytes(all, 0, &text), XK_OK);
    EXPECT_STREQ(text, "");
    free(text);
}

TEST_F(StringOpsTest, HexReaderIgnoresAnOddLastCharacter) {
    uint8_t *bytes = nullptr;
    ASSERT_EQ(xk_util_sscanf_bytes("00ab7f", 5, &bytes), XK_OK);
    EXPECT_EQ(memcmp(bytes, "\x00\xab", 2), 0);
    free(bytes);
    ASSERT_EQ(xk_util_sscanf_bytes("7", 1, &bytes), XK_OK);
    free(bytes);
    // A pair that is not two hex digits reads as far as its leading digits go.
    ASSERT_EQ(xk_util_sscanf_bytes("a?zz?a", 6, &bytes), XK_OK);
    EXPECT_EQ(memcmp(bytes, "\x0a\x00\x00", 3), 0);
    free(bytes);
    EXPECT_TRUE(traces().empty());
}

// Converts with the vector roads allowed or not; the results must not tell them apart.
struct HexRun {
    std::string text;
    std::vector<uint8_t> bytes;
};
HexRun hex_both_ways(bool vector, const std::vector<uint8_t> &data, const std::string &hex) {
    xk::hex::allow_vector_roads(vector);
    HexRun run;
    char *text = nullptr;
    uint8_t *bytes = nullptr;
    EXPECT_EQ(xk_util_sprintf_bytes(data.data(), data.size(), &text), XK_OK);
    EXPECT_EQ(xk_util_sscanf_bytes(hex.data(), hex.size(), &bytes), XK_OK);
    xk::hex::allow_vector_roads(true);
    run.text = text;
    run.bytes.assign(bytes, bytes + hex.size() / 2);
    free(text);
    free(bytes);
    return run;
}

TEST_F(StringOpsTest, HexVectorRoadsMatchTheScalarCode) {
#if defined(__x86_64__) || defined(__aarch64__)
    EXPECT_TRUE(xk::hex::vector_road_available());
#endif
    std::mt19937_64 gen(42);
    const std::string odd = "gG/:@`' +-xX\n\0\xff";
    for (size_t n = 0; n <= 300; ++n) {
        std::vector<uint8_t> data(n);
        for (uint8_t &b : data) b = static_cast<uint8_t>(gen());
        std::string hex;
        for (size_t i = 0; i < 2 * n + n % 2; ++i) hex += "0123456789abcdefABCDEF"[gen() % 22];
        for (int k = 0; k < 3 && !hex.empty(); ++k)
            if (gen() % 2) hex[gen() % hex.size()] = odd[gen() % odd.size()];
        HexRun vector = hex_both_ways(true, data, hex), scalar = hex_both_ways(false, data, hex);
        ASSERT_EQ(vector.text, scalar.text) << n;
        ASSERT_EQ(vector.bytes, scalar.bytes) << n << " " << hex;
    }
}

}  // namespace
