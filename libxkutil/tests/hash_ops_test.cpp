// SPDX-License-Identifier: MIT
#include "support/capture.h"

using HashTest = xk::test::ReportingTest;

TEST_F(HashTest, KnownValuesAtEveryAlignmentAndRefusals) {
    const std::pair<const char *, uint64_t> cases[] = {
        {"abc", 0x5f39fb8f324f2e25},
        {"a", 0x86b8d0a29d36348b},
        {"abcdefgh", 0xb3d82310ac69efb1},
        {"abcdefghi", 0x14c34d22ea476743},  // one block, then a tail
        // six blocks and a seven-byte tail; the value comes from an independent model of the hash
        {"The quick brown fox jumps over the lazy dog, 0123456789", 0xe3db6694d87c7b3e}};
    char block[64];
    uint64_t h = 0;
    for (const auto &[text, hash] : cases)
        for (size_t offset = 0; offset < 8; ++offset)
            EXPECT_TRUE(xk_util_hash64(strcpy(block + offset, text), strlen(text), &h) == XK_OK && h == hash)
                << offset;
    EXPECT_EQ(chain({xk_util_hash64("abc", 0, &h), xk_util_hash64(nullptr, 3, &h),
                     xk_util_hash64("abc", 3, nullptr)}),
              "777; hash64 7; hash64 7; hash64 7");
    EXPECT_EQ(h, 0xe3db6694d87c7b3e);  // the result is left
}
