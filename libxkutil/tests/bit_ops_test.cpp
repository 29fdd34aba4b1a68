// SPDX-License-Identifier: MIT
#include <numeric>
#include <random>

#include "support/capture.h"

namespace {
using BitOpsTest = xk::test::ReportingTest;
using Bytes = std::vector<uint8_t>;

// Shifts a copy inside a larger block, so that a write past the string shows, and compares it with
// the string shifted bit by bit: a shift past the end clears it, a whole-byte shift keeps the tail.
// Returns the new length followed by the string.
Bytes shifted(const Bytes &bytes, size_t shift) {
    size_t length = bytes.size(), bits = 8 * length;
    Bytes got = bytes, want = shift % 8 == 0 && shift <= bits ? bytes : Bytes(length, 0);
    got.resize(length + 8, 0xee);
    EXPECT_EQ(xk_util_shift_bitstring_left(got.data(), &length, shift), XK_OK);
    for (size_t i = 0, p = shift; shift <= bits && i < bits - shift / 8 * 8; ++i, ++p) {
        int bit = p < bits ? bytes[p / 8] >> (7 - p % 8) & 1 : 0;
        want[i / 8] = static_cast<uint8_t>((want[i / 8] & ~(0x80 >> i % 8)) | bit << (7 - i % 8));
    }
    want.resize(bytes.size() + 8, 0xee);
    want.insert(want.begin(), static_cast<uint8_t>(shift > bits ? 0 : bytes.size() - shift / 8));
    got.insert(got.begin(), static_cast<uint8_t>(length));
    EXPECT_EQ(got, want) << bytes.size() << " bytes by " << shift;
    return Bytes(got.begin(), got.end() - 8);
}

TEST_F(BitOpsTest, ShiftMapAndExpandAgainstModelsAndFailures) {
    EXPECT_EQ(shifted({0xB4, 0x0F}, 4), (Bytes{2, 0x40, 0xF0}));  // the rest against the model
    std::mt19937 rng(32);
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes(rng() % 41);
        for (uint8_t &b : bytes) b = static_cast<uint8_t>(rng());
        shifted(bytes, rng() % (8 * bytes.size() + 17));
    }
    uint8_t all[256], *out = nullptr;
    size_t len = 0;
    std::iota(all, all + 256, 0);
    ASSERT_TRUE(xk_util_map_bitstring_to_bytes(all, 256, &out, &len) == XK_OK && len == 2048);
    for (size_t i = 0; i < len; ++i) ASSERT_EQ(out[i], all[i / 8] >> (7 - i % 8) & 1) << i;  // high bit first
    free(out);
    Bytes expanded;
    for (size_t factor = 0; factor <= 12; ++factor)
        for (size_t count : {0u, 2u, 7u, 33u}) {
            ASSERT_EQ(xk_util_expand_byte_array(all, count, static_cast<int>(factor), &out, &len), XK_OK);
            for (expanded.clear(); expanded.size() < count * factor;)
                expanded.push_back(all[expanded.size() / factor]);
            EXPECT_TRUE(out != nullptr && Bytes(out, out + len) == expanded) << count << " x " << factor;
            free(out);
        }
    EXPECT_TRUE(traces().empty());
    // Each failure logs one error line and leaves one record; a negative factor asks for a size no
    // allocation gives, stored before the allocation is tried.
    uint8_t *src = all + 1;
    std::string got = chain({xk_util_expand_byte_array(src, 2, -2, &out, &len),
                             xk_util_expand_byte_array(nullptr, 2, 2, &out, &len),
                             xk_util_map_bitstring_to_bytes(src, 1, &out, nullptr),
                             xk_util_shift_bitstring_left(nullptr, &len, 1)});
    char want[400];
    snprintf(
        want, sizeof want,
        "2333; expand_byte_array 2; expand_byte_array 3; map_bitstring_to_bytes 3; shift_bitstring_left 3 | "
        "Memory allocation failed | NULL parameter detected: %p %p %p | NULL parameter detected: %p %p %p | "
        "NULL argument detected: %p %p",
        nullptr, &out, &len, src, &out, nullptr, nullptr, &len);
    EXPECT_EQ(got, want);
    EXPECT_TRUE(out == nullptr && len == SIZE_MAX - 3);
}

}  // namespace
