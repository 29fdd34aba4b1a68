#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <random>

#include "support/capture.h"
#include "xk/hash.h"

namespace {

using HashTest = xk::test::ReportingTest;

uint64_t hash_of(const void *data, size_t length) {
    uint64_t h = 0;
    EXPECT_EQ(xk_util_hash64(data, length, &h), XK_OK);
    return h;
}

TEST_F(HashTest, KnownValues) {
    EXPECT_EQ(hash_of("abc", 3), UINT64_C(0x5f39fb8f324f2e25));
    EXPECT_EQ(hash_of("a", 1), UINT64_C(0x86b8d0a29d36348b));
    EXPECT_EQ(hash_of("abcdefgh", 8), UINT64_C(0xb3d82310ac69efb1));
    EXPECT_EQ(hash_of("abcdefghi", 9), UINT64_C(0x14c34d22ea476743));  // one block, then a tail
    EXPECT_TRUE(traces().empty());
}

TEST_F(HashTest, RefusalsAreInvalidAndLeaveTheResult) {
    uint64_t h = 42;
    EXPECT_EQ(xk_util_hash64("abc", 0, &h), XK_ERR_INVALID);
    expect_single_trace("xk_util_hash64", XK_ERR_INVALID);
    capture.clear();
    EXPECT_EQ(xk_util_hash64(nullptr, 3, &h), XK_ERR_INVALID);
    expect_single_trace("xk_util_hash64", XK_ERR_INVALID);
    capture.clear();
    EXPECT_EQ(xk_util_hash64("abc", 3, nullptr), XK_ERR_INVALID);
    expect_single_trace("xk_util_hash64", XK_ERR_INVALID);
    EXPECT_EQ(h, 42u);
    EXPECT_TRUE(lines().empty());
}

TEST_F(HashTest, AlignmentDoesNotMatterButEveryByteDoes) {
    std::mt19937 rng(64);
    unsigned char content[40], block[48];
    for (unsigned char &c : content) c = static_cast<unsigned char>(rng());
    for (size_t length = 1; length <= sizeof content; ++length) {
        uint64_t aligned = hash_of(content, length);
        for (size_t offset = 0; offset < 8; ++offset) {
            memcpy(block + offset, content, length);
            ASSERT_EQ(hash_of(block + offset, length), aligned) << length << " bytes at offset " << offset;
        }
        content[length - 1] ^= 1;  // in a whole block or in the tail
        EXPECT_NE(hash_of(content, length), aligned) << length;
        content[length - 1] ^= 1;
    }
}

}  // namespace
