#include "xk/base64.h"

#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "support/capture.h"

namespace {

using xk::test::ReportingTest;
using Base64Test = ReportingTest;

const char *const kPlain[] = {"", "f", "fo", "foo", "foob", "fooba", "foobar"};
const char *const kEncoded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};

std::string encode(const std::string &bytes) {
    char *out = nullptr;
    size_t len = 12345;
    EXPECT_EQ(
        xk_util_base64_encode(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), &out, &len),
        XK_OK);
    EXPECT_NE(out, nullptr);
    std::string text(out, len);
    free(out);
    return text;
}

std::string decode(const std::string &text) {
    uint8_t *out = nullptr;
    size_t len = 12345;
    EXPECT_EQ(xk_util_base64_decode(text.data(), text.size(), &out, &len), XK_OK);
    EXPECT_NE(out, nullptr);
    std::string bytes(reinterpret_cast<char *>(out), len);
    free(out);
    return bytes;
}

// A plain model of the decoder: drop every non-digit, then decode the digits four at a time.
std::string reference_decode(const std::string &text) {
    static const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::vector<uint32_t> values;
    for (char c : text)
        if (size_t v = digits.find(c); c != '\0' && v != std::string::npos)
            values.push_back(static_cast<uint32_t>(v));
    std::string bytes;
    for (size_t i = 0; i < values.size(); i += 4) {
        size_t k = std::min<size_t>(4, values.size() - i);
        uint32_t v = 0;
        for (size_t j = 0; j < 4; ++j) v = v << 6 | (j < k ? values[i + j] : 0);
        size_t keep = k == 4 ? 3 : k - 1;  // a lone digit keeps nothing
        for (size_t j = 0; j < keep; ++j) bytes.push_back(static_cast<char>(v >> (16 - 8 * j)));
    }
    return bytes;
}

TEST_F(Base64Test, SizeIsFourPerStartedTriple) {
    const size_t expected[] = {0, 4, 4, 4, 8, 8, 8, 12};
    for (size_t n = 0; n < 8; ++n) EXPECT_EQ(xk_util_to_base64_size(n), expected[n]) << n;
}

TEST_F(Base64Test, EncodesTheRfc4648Vectors) {
    for (size_t i = 0; i < 7; ++i) EXPECT_EQ(encode(kPlain[i]), kEncoded[i]) << kPlain[i];
    char *out = nullptr;
    size_t len = 99;
    ASSERT_EQ(xk_util_base64_encode(nullptr, 0, &out, &len), XK_OK);  // empty input, still a block to free
    EXPECT_EQ(len, 0u);
    EXPECT_NE(out, nullptr);
    free(out);
    EXPECT_TRUE(traces().empty());
    EXPECT_TRUE(lines().empty());
}

TEST_F(Base64Test, DecodesTheRfc4648Vectors) {
    for (size_t i = 0; i < 7; ++i) EXPECT_EQ(decode(kEncoded[i]), kPlain[i]) << kEncoded[i];
    EXPECT_TRUE(traces().empty());
}

TEST_F(Base64Test, DecoderSkipsNonDigitsAndPadding) {
    EXPECT_EQ(decode("Zm9v\nYmFy"), "foobar");
    EXPECT_EQ(decode(" Zm 9v\r\nYm\tFy\n"), "foobar");
    EXPECT_EQ(decode("===="), "");
    EXPECT_EQ(decode(std::string("Zm\0"
                                 "9v",
                                 5)),
              "foo");
    // Padding does not end a group: digits after it fill the same group.
    EXPECT_EQ(decode("Zg==Zg=="), decode("ZgZg"));
    EXPECT_EQ(decode("Zg==Zg==").size(), 3u);
}

TEST_F(Base64Test, UrlSafeDigitsAreSkippedNotDecoded) {
    EXPECT_EQ(decode("ab+/"), "\x69\xbf\xbf");
    EXPECT_EQ(decode("ab-_"), "\x69");  // only "ab" remains: one byte
}

TEST_F(Base64Test, UnpaddedTextDecodesItsShortLastGroup) {
    EXPECT_EQ(decode("Zm9vYg"), "foob");
    EXPECT_EQ(decode("Zm9vYmE"), "fooba");
    EXPECT_EQ(decode("Zm8"), "fo");
    EXPECT_EQ(decode("Zm9vYmF\ny"), "foobar");
}

TEST_F(Base64Test, SingleDigitLastGroupYieldsNoByte) {
    EXPECT_EQ(decode("Y"), "");
    EXPECT_EQ(decode("Y==="), "");
    EXPECT_EQ(decode("Zm9vY"), "foo");
    EXPECT_EQ(decode("Zm9v\nY\n"), "foo");
}

TEST_F(Base64Test, OutOfMemoryLeavesNullOutputAndNoTrace) {
    static const uint8_t one = 0;
    char *text = reinterpret_cast<char *>(1);
    size_t len = 0;
    size_t huge = SIZE_MAX / 2;  // never read: the allocation fails first
    EXPECT_EQ(xk_util_base64_encode(&one, huge, &text, &len), XK_ERR_NOMEM);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(len, xk_util_to_base64_size(huge));
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
        std::string wrapped;  // line breaks every 76 characters, as in mail bodies
        for (size_t i = 0; i < text.size(); i += 76) wrapped += text.substr(i, 76) + "\r\n";
        ASSERT_EQ(decode(wrapped), bytes) << n;
    }
}

TEST_F(Base64Test, ArbitraryTextDecodesAsItsDigitsAlone) {
    std::mt19937 rng(4648);
    const std::string alphabet = "ABCxyz019+/=-_\n .@[`{\x80\xff";
    for (int round = 0; round < 2000; ++round) {
        std::string text(rng() % 40, '\0');
        for (char &c : text) c = alphabet[rng() % alphabet.size()];
        std::string got = decode(text);
        ASSERT_EQ(got, reference_decode(text)) << text;
        ASSERT_LE(got.size(), 3 * ((text.size() + 3) / 4));
    }
}

}  // namespace
