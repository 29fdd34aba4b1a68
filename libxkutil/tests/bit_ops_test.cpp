#include <gtest/gtest.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "support/capture.h"
#include "xk/bits.h"

namespace {

using BitOpsTest = xk::test::ReportingTest;
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

// Shifts a copy that sits in a larger block, so that a write past the string shows.
Bytes shifted(const Bytes &bytes, size_t shift, size_t expected_length) {
    Bytes block = bytes;
    block.resize(bytes.size() + 8, 0xee);
    size_t length = bytes.size();
    EXPECT_EQ(xk_util_shift_bitstring_left(block.data(), &length, shift), XK_OK);
    EXPECT_EQ(length, expected_length) << "shift " << shift;
    EXPECT_EQ(Bytes(block.begin() + bytes.size(), block.end()), Bytes(8, 0xee));
    block.resize(bytes.size());
    return block;
}

void expect_one_error_line(const xk::test::Capture &capture, const char *func, const std::string &text) {
    ASSERT_EQ(capture.lines().size(), 1u);
    const auto &line = capture.lines()[0];
    EXPECT_EQ(line.level, 3);
    EXPECT_EQ(line.func, func);
    EXPECT_EQ(line.file, "");
    EXPECT_EQ(line.line, 0);
    EXPECT_EQ(line.text, text);
}

TEST_F(BitOpsTest, ShiftExamplesAndLimits) {
    EXPECT_EQ(shifted({0xB4, 0x0F}, 4, 2), (Bytes{0x40, 0xF0}));
    EXPECT_EQ(shifted({0x12, 0x34, 0x56}, 12, 2), (Bytes{0x45, 0x60, 0x00}));
    EXPECT_EQ(shifted({0x12, 0x34, 0x56}, 8, 2), (Bytes{0x34, 0x56, 0x56}));  // whole bytes: the tail stays
    EXPECT_EQ(shifted({0x12, 0x34, 0x56}, 0, 3), (Bytes{0x12, 0x34, 0x56}));
    EXPECT_EQ(shifted({0x12, 0x34, 0x56}, 24, 0), (Bytes{0x12, 0x34, 0x56}));
    // Beyond the string: cleared to length 0, never underflowing.
    EXPECT_EQ(shifted({0x12, 0x34, 0x56}, 25, 0), (Bytes{0, 0, 0}));
    EXPECT_EQ(shifted({0x12, 0x34, 0x56}, 32, 0), (Bytes{0, 0, 0}));
    EXPECT_EQ(shifted({0xff}, SIZE_MAX, 0), Bytes{0});
    EXPECT_EQ(shifted({}, 1, 0), Bytes{});
    EXPECT_TRUE(traces().empty());
}

TEST_F(BitOpsTest, ShiftMatchesABitByBitModel) {
    std::mt19937 rng(32);
    for (int round = 0; round < 2000; ++round) {
        Bytes bytes(1 + rng() % 40);
        for (uint8_t &b : bytes) b = static_cast<uint8_t>(rng());
        size_t bits = 8 * bytes.size(), shift = rng() % (bits + 1), kept = bytes.size() - shift / 8;
        auto bit = [&](size_t p) { return p < bits ? (bytes[p / 8] >> (7 - p % 8)) & 1 : 0; };
        Bytes expected = bytes;
        for (size_t i = 0; i < kept; ++i) {
            expected[i] = 0;
            for (size_t j = 0; j < 8; ++j)
                expected[i] |= static_cast<uint8_t>(bit(8 * i + j + shift) << (7 - j));
        }
        if (shift % 8 != 0) std::fill(expected.begin() + static_cast<ptrdiff_t>(kept), expected.end(), 0);
        ASSERT_EQ(shifted(bytes, shift, kept), expected) << bytes.size() << " bytes by " << shift;
    }
}

TEST_F(BitOpsTest, MapGivesOneByteForEachBit) {
    const uint8_t bits[] = {0xA5, 0x0F};
    uint8_t *out = nullptr;
    size_t len = 0;
    ASSERT_EQ(xk_util_map_bitstring_to_bytes(bits, 2, &out, &len), XK_OK);
    EXPECT_EQ(Bytes(out, out + len), (Bytes{1, 0, 1, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 1, 1, 1}));
    free(out);
    EXPECT_TRUE(traces().empty());
}

TEST_F(BitOpsTest, ExpandRepeatsEachByte) {
    std::mt19937 rng(3);
    for (int factor = 0; factor <= 12; ++factor) {
        for (size_t count : {0u, 2u, 7u, 33u}) {
            Bytes src(count), expected;
            for (uint8_t &b : src) b = static_cast<uint8_t>(rng());
            for (uint8_t b : src) expected.insert(expected.end(), static_cast<size_t>(factor), b);
            uint8_t *out = nullptr;
            size_t len = 99;
            static const uint8_t none = 0;  // an empty vector may hold no pointer at all
            ASSERT_EQ(xk_util_expand_byte_array(count ? src.data() : &none, count, factor, &out, &len),
                      XK_OK);
            EXPECT_NE(out, nullptr);
            EXPECT_EQ(Bytes(out, out + len), expected) << count << " x " << factor;
            free(out);
        }
    }
}

TEST_F(BitOpsTest, FailuresAreLoggedAndTheLengthComesFirst) {
    const uint8_t src[] = {1, 2};
    uint8_t *out = reinterpret_cast<uint8_t *>(1);
    size_t len = 0;
    EXPECT_EQ(xk_util_expand_byte_array(src, 2, -2, &out, &len), XK_ERR_NOMEM);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(len, static_cast<size_t>(-4));  // the signed product, as a size
    expect_single_trace("xk_util_expand_byte_array", XK_ERR_NOMEM);
    expect_one_error_line(capture, "xk_util_expand_byte_array", "Memory allocation failed");
    capture.clear();
    EXPECT_EQ(xk_util_map_bitstring_to_bytes(src, SIZE_MAX / 16, &out, &len), XK_ERR_NOMEM);
    EXPECT_EQ(len, SIZE_MAX / 16 * 8);
    expect_single_trace("xk_util_map_bitstring_to_bytes", XK_ERR_NOMEM);
    expect_one_error_line(capture, "xk_util_map_bitstring_to_bytes", "Memory allocation failed");
    capture.clear();

    EXPECT_EQ(xk_util_expand_byte_array(nullptr, 2, 2, &out, &len), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_expand_byte_array", XK_ERR_NULL_ARG);
    expect_one_error_line(capture, "xk_util_expand_byte_array",
                          "NULL parameter detected: " + pointers(nullptr, &out, &len));
    capture.clear();
    EXPECT_EQ(xk_util_map_bitstring_to_bytes(src, 1, &out, nullptr), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_map_bitstring_to_bytes", XK_ERR_NULL_ARG);
    expect_one_error_line(capture, "xk_util_map_bitstring_to_bytes",
                          "NULL parameter detected: " + pointers(src, &out, nullptr));
    capture.clear();
    EXPECT_EQ(xk_util_shift_bitstring_left(nullptr, &len, 1), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_shift_bitstring_left", XK_ERR_NULL_ARG);
    expect_one_error_line(capture, "xk_util_shift_bitstring_left",
                          "NULL argument detected: " + pointers(nullptr, &len));
}

}  // namespace
