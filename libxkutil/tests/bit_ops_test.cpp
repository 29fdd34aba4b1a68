#include <gtest/gtest.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "support/capture.h"
#include "xk/bits.h"

namespace {

using xk::test::ReportingTest;
using BitOpsTest = ReportingTest;
using Bytes = std::vector<uint8_t>;

std::string pointers(const void *a, const void *b) {
    char text[128];
    snprintf(text, sizeof text, "%p %p", a, b);
    return text;
}

std::string pointers(const void *a, const void *b, const void *c) {
    char text[160];
    snprintf(text, sizeof text, "%p %p %p", a, b, c);
    return text;
}

// Shifts a copy held in a larger block, so that writes past the string would show.
Bytes shifted(Bytes bytes, size_t shift, size_t *new_length) {
    Bytes block = bytes;
    block.insert(block.end(), 8, 0xee);
    size_t length = bytes.size();
    EXPECT_EQ(xk_util_shift_bitstring_left(block.data(), &length, shift), XK_OK);
    *new_length = length;
    for (size_t i = bytes.size(); i < block.size(); ++i)
        EXPECT_EQ(block[i], 0xee) << "past the string at " << i;
    block.resize(bytes.size());
    return block;
}

TEST_F(BitOpsTest, ShiftExamples) {
    size_t length = 0;
    EXPECT_EQ(shifted({0xB4, 0x0F}, 4, &length), (Bytes{0x40, 0xF0}));
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(shifted({0x12, 0x34, 0x56}, 12, &length), (Bytes{0x45, 0x60, 0x00}));
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(shifted({0x12, 0x34, 0x56}, 8, &length), (Bytes{0x34, 0x56, 0x56}));  // whole bytes: tail kept
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(shifted({0x12, 0x34, 0x56}, 0, &length), (Bytes{0x12, 0x34, 0x56}));
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(shifted({0x12, 0x34, 0x56}, 24, &length), (Bytes{0x12, 0x34, 0x56}));
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(traces().empty());
}

TEST_F(BitOpsTest, ShiftBeyondTheStringClearsIt) {
    size_t length = 99;
    for (size_t shift : {25u, 32u, 1000u}) {
        EXPECT_EQ(shifted({0x12, 0x34, 0x56}, shift, &length), (Bytes{0, 0, 0})) << shift;
        EXPECT_EQ(length, 0u);
    }
    EXPECT_EQ(shifted({}, 1, &length), Bytes{});
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(shifted({0xff}, SIZE_MAX, &length), Bytes{0});
    EXPECT_EQ(length, 0u);
}

TEST_F(BitOpsTest, ShiftMatchesABitByBitModel) {
    std::mt19937 rng(32);
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes(1 + rng() % 40);
        for (uint8_t &b : bytes) b = static_cast<uint8_t>(rng());
        size_t total_bits = 8 * bytes.size();
        size_t shift = rng() % (total_bits + 1);
        size_t kept = bytes.size() - shift / 8;
        Bytes expected = bytes;
        auto bit = [&](size_t p) { return p < total_bits ? (bytes[p / 8] >> (7 - p % 8)) & 1 : 0; };
        for (size_t i = 0; i < kept; ++i) {
            expected[i] = 0;
            for (size_t j = 0; j < 8; ++j)
                expected[i] |= static_cast<uint8_t>(bit(8 * i + j + shift) << (7 - j));
        }
        if (shift % 8 != 0)
            for (size_t i = kept; i < bytes.size(); ++i) expected[i] = 0;
        size_t length = 0;
        ASSERT_EQ(shifted(bytes, shift, &length), expected) << bytes.size() << " bytes by " << shift;
        ASSERT_EQ(length, kept);
    }
}

TEST_F(BitOpsTest, ShiftNullArgumentsAreLogged) {
    size_t length = 1;
    uint8_t byte = 0;
    EXPECT_EQ(xk_util_shift_bitstring_left(nullptr, &length, 1), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_shift_bitstring_left", XK_ERR_NULL_ARG);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].level, 3);
    EXPECT_EQ(lines()[0].func, "xk_util_shift_bitstring_left");
    EXPECT_EQ(lines()[0].file, "");
    EXPECT_EQ(lines()[0].line, 0);
    EXPECT_EQ(lines()[0].text, "NULL argument detected: " + pointers(nullptr, &length));
    EXPECT_EQ(length, 1u);
    capture.clear();
    EXPECT_EQ(xk_util_shift_bitstring_left(&byte, nullptr, 1), XK_ERR_NULL_ARG);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text, "NULL argument detected: " + pointers(&byte, nullptr));
}

TEST_F(BitOpsTest, MapGivesOneByteForEachBitInOrder) {
    const uint8_t bits[] = {0xA5, 0x0F};
    uint8_t *out = nullptr;
    size_t len = 0;
    ASSERT_EQ(xk_util_map_bitstring_to_bytes(bits, 2, &out, &len), XK_OK);
    ASSERT_EQ(len, 16u);
    EXPECT_EQ(Bytes(out, out + len), (Bytes{1, 0, 1, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 1, 1, 1}));
    free(out);
    ASSERT_EQ(xk_util_map_bitstring_to_bytes(bits, 0, &out, &len), XK_OK);
    EXPECT_EQ(len, 0u);
    EXPECT_NE(out, nullptr);
    free(out);
    EXPECT_TRUE(traces().empty());
}

TEST_F(BitOpsTest, MapFailuresAreLoggedAndKeepTheLength) {
    const uint8_t bits[] = {1};
    uint8_t *out = nullptr;
    size_t len = 0;
    EXPECT_EQ(xk_util_map_bitstring_to_bytes(bits, 1, &out, nullptr), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_map_bitstring_to_bytes", XK_ERR_NULL_ARG);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text, "NULL parameter detected: " + pointers(bits, &out, nullptr));
    capture.clear();

    out = reinterpret_cast<uint8_t *>(1);
    size_t huge = SIZE_MAX / 16;  // 8 * huge is beyond any allocation; the bits are never read
    EXPECT_EQ(xk_util_map_bitstring_to_bytes(bits, huge, &out, &len), XK_ERR_NOMEM);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(len, 8 * huge);
    expect_single_trace("xk_util_map_bitstring_to_bytes", XK_ERR_NOMEM);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].level, 3);
    EXPECT_EQ(lines()[0].text, "Memory allocation failed");
    capture.clear();
    EXPECT_EQ(xk_util_map_bitstring_to_bytes(bits, SIZE_MAX / 8 + 1, &out, &len), XK_ERR_NOMEM);
    EXPECT_EQ(len, SIZE_MAX);  // no representable size
}

TEST_F(BitOpsTest, ExpandRepeatsEachByte) {
    const uint8_t src[] = {0x01, 0x02};
    uint8_t *out = nullptr;
    size_t len = 0;
    ASSERT_EQ(xk_util_expand_byte_array(src, 2, 3, &out, &len), XK_OK);
    EXPECT_EQ(Bytes(out, out + len), (Bytes{1, 1, 1, 2, 2, 2}));
    free(out);
    for (auto [count, factor] : {std::pair<size_t, int>{2, 0}, {0, 5}, {0, -3}}) {
        ASSERT_EQ(xk_util_expand_byte_array(src, count, factor, &out, &len), XK_OK);
        EXPECT_EQ(len, 0u);
        EXPECT_NE(out, nullptr);
        free(out);
    }
    EXPECT_TRUE(traces().empty());
}

TEST_F(BitOpsTest, ExpandMatchesRepetitionForManyFactors) {
    std::mt19937 rng(3);
    for (int factor = 1; factor <= 20; ++factor) {
        for (size_t count : {1u, 2u, 7u, 33u}) {
            Bytes src(count);
            for (uint8_t &b : src) b = static_cast<uint8_t>(rng());
            Bytes expected;
            for (uint8_t b : src) expected.insert(expected.end(), static_cast<size_t>(factor), b);
            uint8_t *out = nullptr;
            size_t len = 0;
            ASSERT_EQ(xk_util_expand_byte_array(src.data(), count, factor, &out, &len), XK_OK);
            EXPECT_EQ(Bytes(out, out + len), expected) << count << " x " << factor;
            free(out);
        }
    }
}

TEST_F(BitOpsTest, ExpandFailuresAreLoggedAndKeepTheLength) {
    const uint8_t src[] = {1, 2};
    uint8_t *out = reinterpret_cast<uint8_t *>(1);
    size_t len = 0;
    EXPECT_EQ(xk_util_expand_byte_array(src, 2, -2, &out, &len), XK_ERR_NOMEM);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(len, static_cast<size_t>(-4));  // the signed product, as a size
    expect_single_trace("xk_util_expand_byte_array", XK_ERR_NOMEM);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text, "Memory allocation failed");
    capture.clear();
    EXPECT_EQ(xk_util_expand_byte_array(nullptr, 2, 2, &out, &len), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_expand_byte_array", XK_ERR_NULL_ARG);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text, "NULL parameter detected: " + pointers(nullptr, &out, &len));
}

}  // namespace
