#include "support/capture.h"
#include "xk/hash.h"

using HashTest = xk::test::ReportingTest;

TEST_F(HashTest, KnownValuesAtEveryAlignment) {
    const std::pair<const char *, uint64_t> cases[] = {
        {"abc", 0x5f39fb8f324f2e25},
        {"a", 0x86b8d0a29d36348b},
        {"abcdefgh", 0xb3d82310ac69efb1},
        {"abcdefghi", 0x14c34d22ea476743},  // one block, then a tail
        // six blocks and a seven-byte tail; the value comes from an independent model of the hash
        {"The quick brown fox jumps over the lazy dog, 0123456789", 0xe3db6694d87c7b3e},
    };
    char block[64];
    for (const auto &[text, hash] : cases)
        for (size_t offset = 0; offset < 8; ++offset) {
            uint64_t h = 0;
            EXPECT_EQ(xk_util_hash64(strcpy(block + offset, text), strlen(text), &h), XK_OK);
            EXPECT_EQ(h, hash) << text << " at " << offset;
        }
    EXPECT_TRUE(traces().empty());
}

TEST_F(HashTest, RefusalsAreInvalidAndLeaveTheResult) {
    uint64_t h = 42;
    const std::vector<xk_util_status> refused = {xk_util_hash64("abc", 0, &h), xk_util_hash64(nullptr, 3, &h),
                                                 xk_util_hash64("abc", 3, nullptr)};
    EXPECT_EQ(refused, std::vector<xk_util_status>(3, XK_ERR_INVALID));
    EXPECT_EQ(h, 42u);
    std::string chain;
    for (const auto &r : traces()) chain += r.func + " " + std::to_string(r.status) + "; ";
    EXPECT_EQ(chain, "xk_util_hash64 7; xk_util_hash64 7; xk_util_hash64 7; ");
    EXPECT_TRUE(lines().empty());
}
