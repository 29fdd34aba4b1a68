#include "xk/base64.h"

#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>

#include <random>
#include <string>

#include "support/capture.h"

namespace {

using Base64Test = xk::test::ReportingTest;

const char *const kPlain[] = {"", "f", "fo", "foo", "foob", "fooba", "foobar"};
const char *const kEncoded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};

std::string encode(const std::string &bytes) {
    char *out = nullptr;
    size_t len = 99;
    EXPECT_EQ(
        xk_util_base64_encode(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), &out, &len),
        XK_OK);
    EXPECT_NE(out, nullptr);  // a block to free even for empty input
    std::string text(out, len);
    free(out);
    return text;
}

std::string decode(const std::string &text) {
    uint8_t *out = nullptr;
    size_t len = 99;
    EXPECT_EQ(xk_util_base64_decode(text.data(), text.size(), &out, &len), XK_OK);
    EXPECT_NE(out, nullptr);
    std::string bytes(reinterpret_cast<char *>(out), len);
    free(out);
    return bytes;
}

TEST_F(Base64Test, Rfc4648VectorsBothWays) {
    const size_t sizes[] = {0, 4, 4, 4, 8, 8, 8, 12};
    for (size_t n = 0; n < 8; ++n) EXPECT_EQ(xk_util_to_base64_size(n), sizes[n]) << n;
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(encode(kPlain[i]), kEncoded[i]);
        EXPECT_EQ(decode(kEncoded[i]), kPlain[i]);
    }
    EXPECT_TRUE(traces().empty());
    EXPECT_TRUE(lines().empty());
}

TEST_F(Base64Test, DecoderSkipsEveryNonDigit) {
    EXPECT_EQ(decode("Zm9v\nYmFy"), "foobar");
    EXPECT_EQ(decode(std::string(" Zm\0"
                                 "9v\r\nYm\tF=y\n",
                                 16)),
              "foobar");
    EXPECT_EQ(decode("===="), "");
    EXPECT_EQ(decode("Zg==Zg=="), decode("ZgZg"));  // padding does not end a group
    EXPECT_EQ(decode("ab+/"), "\x69\xbf\xbf");
    EXPECT_EQ(decode("ab-_"), "\x69");  // URL-safe digits are skipped: only "ab" remains
}

TEST_F(Base64Test, ShortLastGroups) {
    // Unpadded text needs more room than three bytes per whole four input bytes.
    EXPECT_EQ(decode("Zm9vYg"), "foob");
    EXPECT_EQ(decode("Zm9vYmE"), "fooba");
    EXPECT_EQ(decode("Zm9vYmF\ny"), "foobar");
    // A lone digit cannot make a byte: it yields nothing.
    EXPECT_EQ(decode("Y"), "");
    EXPECT_EQ(decode("Y==="), "");
    EXPECT_EQ(decode("Zm9v\nY\n"), "foo");
}

TEST_F(Base64Test, OutOfMemoryGivesNullWithoutTrace) {
    static const uint8_t one = 0;  // never read: the allocation fails first
    char *text = reinterpret_cast<char *>(1);
    size_t len = 0;
    EXPECT_EQ(xk_util_base64_encode(&one, SIZE_MAX / 2, &text, &len), XK_ERR_NOMEM);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(len, xk_util_to_base64_size(SIZE_MAX / 2));
    uint8_t *bytes = reinterpret_cast<uint8_t *>(1);
    EXPECT_EQ(xk_util_base64_decode("", SIZE_MAX, &bytes, &len), XK_ERR_NOMEM);
    EXPECT_EQ(bytes, nullptr);
    EXPECT_TRUE(traces().empty());
    EXPECT_TRUE(lines().empty());
}

TEST_F(Base64Test, RandomRoundTripsOverManyLengths) {
    std::mt19937 rng(20261206);
    for (size_t n = 0; n < 400; ++n) {
        std::string bytes(n, '\0');
        for (char &c : bytes) c = static_cast<char>(rng());
        std::string text = encode(bytes);
        ASSERT_EQ(text.size(), xk_util_to_base64_size(n));
        ASSERT_EQ(decode(text), bytes) << n;
        std::string wrapped;  // line breaks inside groups as well as between them
        for (size_t i = 0; i < text.size(); i += 70) wrapped += text.substr(i, 70) + "\r\n";
        ASSERT_EQ(decode(wrapped), bytes) << n;
    }
}

}  // namespace
