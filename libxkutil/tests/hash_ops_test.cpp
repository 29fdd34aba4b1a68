#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <random>

#include "support/capture.h"
#include "xk/hash.h"

namespace {

using xk::test::ReportingTest;
using HashTest = ReportingTest;

uint64_t hash_of(const char *text) {
    uint64_t h = 0;
    EXPECT_EQ(xk_util_hash64(text, strlen(text), &h), XK_OK);
    return h;
}

TEST_F(HashTest, KnownValues) {
    EXPECT_EQ(hash_of("abc"), UINT64_C(0x5f39fb8f324f2e25));
    EXPECT_EQ(hash_of("a"), UINT64_C(0x86b8d0a29d36348b));
    EXPECT_EQ(hash_of("abcdefgh"), UINT64_C(0xb3d82310ac69efb1));
    EXPECT_EQ(hash_of("abcdefghi"), UINT64_C(0x14c34d22ea476743));
    EXPECT_TRUE(traces().empty());
}

TEST_F(HashTest, RefusalsLeaveTheResultUntouched) {
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
    unsigned char content[48];
    for (unsigned char &c : content) c = static_cast<unsigned char>(rng());
    alignas(8) unsigned char block[64];
    for (size_t length = 1; length <= sizeof content; ++length) {
        uint64_t first = 0;
        for (size_t offset = 0; offset < 8; ++offset) {
            memcpy(block + offset, content, length);
            uint64_t h = 0;
            ASSERT_EQ(xk_util_hash64(block + offset, length, &h), XK_OK);
            if (offset == 0) first = h;
            ASSERT_EQ(h, first) << length << " bytes at offset " << offset;
        }
        // A change in the last byte, whether in a whole block or in the tail, changes the hash.
        content[length - 1] ^= 1;
        uint64_t changed = 0;
        ASSERT_EQ(xk_util_hash64(content, length, &changed), XK_OK);
        EXPECT_NE(changed, first) << length;
        content[length - 1] ^= 1;
    }
}

}  // namespace
