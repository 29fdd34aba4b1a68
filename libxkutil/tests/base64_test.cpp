#include "xk/base64.h"

#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "internal/base64_roads.h"
#include "support/capture.h"

namespace {

using Base64Test = xk::test::ReportingTest;

const char *const kPlain[] = {"", "f", "fo", "foo", "foob", "fooba", "foobar"};
const char *const kEncoded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};

// The input in a block of exactly its size, so that a sanitizer sees any read past its end.
std::unique_ptr<char[]> exact_copy(const std::string &s) {
    std::unique_ptr<char[]> copy(new char[s.size()]);
    memcpy(copy.get(), s.data(), s.size());
    return copy;
}

std::string encode(const std::string &bytes) {
    char *out = nullptr;
    size_t len = 99;
    auto in = exact_copy(bytes);
    EXPECT_EQ(xk_util_base64_encode(reinterpret_cast<const uint8_t *>(in.get()), bytes.size(), &out, &len),
              XK_OK);
    EXPECT_NE(out, nullptr);  // a block to free even for empty input
    std::string text(out, len);
    free(out);
    return text;
}

std::string decode(const std::string &text) {
    uint8_t *out = nullptr;
    size_t len = 99;
    auto in = exact_copy(text);
    EXPECT_EQ(xk_util_base64_decode(in.get(), text.size(), &out, &len), XK_OK);
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

// Every vector road this machine runs must give the scalar road's output, byte for byte.
class Base64RoadsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int id = xk::base64::kScalar + 1; id < xk::base64::kRoadCount; ++id)
            if (xk::base64::available_road(static_cast<xk::base64::RoadId>(id)) != nullptr)
                roads_.push_back(static_cast<xk::base64::RoadId>(id));
#if defined(__x86_64__) || defined(__aarch64__)
        ASSERT_FALSE(roads_.empty()) << "no vector road to compare";
#endif
    }
    void TearDown() override { xk::base64::use_best_road(); }

    // Converts on the scalar road, then on every vector road, and expects the same result.
    template <typename Convert>
    void expect_same_on_every_road(const std::string &input, Convert convert) {
        ASSERT_TRUE(xk::base64::force_road(xk::base64::kScalar));
        std::string expected = convert(input);
        for (xk::base64::RoadId id : roads_) {
            ASSERT_TRUE(xk::base64::force_road(id));
            ASSERT_EQ(xk::base64::current_road(), xk::base64::available_road(id));
            ASSERT_EQ(convert(input), expected)
                << xk::base64::current_road()->name << " on " << input.size() << " bytes";
        }
    }

    std::vector<xk::base64::RoadId> roads_;
    std::mt19937 rng_{4648};
};

std::string random_bytes(std::mt19937 &rng, size_t n) {
    std::string bytes(n, '\0');
    for (char &c : bytes) c = static_cast<char>(rng());
    return bytes;
}

TEST_F(Base64RoadsTest, EncodeAgreesForEveryLength) {
    for (size_t n = 0; n <= 300; ++n) expect_same_on_every_road(random_bytes(rng_, n), encode);
    expect_same_on_every_road(random_bytes(rng_, 4099), encode);
}

TEST_F(Base64RoadsTest, DecodeAgreesOnCleanAndUnpaddedText) {
    for (size_t n = 0; n <= 300; ++n) {
        std::string text = encode(random_bytes(rng_, n));
        expect_same_on_every_road(text, decode);
        while (!text.empty() && text.back() == '=') text.pop_back();
        expect_same_on_every_road(text, decode);
        expect_same_on_every_road(text.substr(0, text.size() / 2 * 2 + (n & 1)), decode);
    }
}

TEST_F(Base64RoadsTest, DecodeAgreesWithAnOddByteAnywhereInABlock) {
    const std::string text = encode(random_bytes(rng_, 150));  // 200 digits: several blocks of every width
    // Neighbours of every digit range, padding, line breaks, the URL-safe digits and high bytes.
    const char odd[] = {'\n', '\r', ' ', '\0', '=', '-',    '_',    '.',    ',',   ':',
                        '@',  '[',  '`', '{',  '*', '\x7f', '\x80', '\xab', '\xff'};
    for (size_t pos = 0; pos < 130; ++pos) {
        for (char c : odd) {
            std::string replaced = text, inserted = text;
            replaced[pos] = c;
            inserted.insert(pos, 1, c);
            expect_same_on_every_road(replaced, decode);
            expect_same_on_every_road(inserted, decode);
        }
    }
    // Every byte value at the edges of the 16-, 32- and 64-byte blocks.
    for (size_t pos : {0, 1, 15, 16, 31, 32, 47, 63, 64}) {
        for (int c = 0; c < 256; ++c) {
            std::string replaced = text;
            replaced[pos] = static_cast<char>(c);
            expect_same_on_every_road(replaced, decode);
        }
    }
}

TEST_F(Base64RoadsTest, DecodeAgreesOnWrappedAndNoisyText) {
    for (size_t n : {57, 100, 1000}) {
        std::string text = encode(random_bytes(rng_, n)), wrapped, noisy;
        for (size_t i = 0; i < text.size(); i += 76) wrapped += text.substr(i, 76) + "\n";
        expect_same_on_every_road(wrapped, decode);
        for (char c : text)
            noisy += (rng_() % 8 == 0) ? std::string(1, static_cast<char>(rng_())) + c : std::string(1, c);
        expect_same_on_every_road(noisy, decode);
    }
}

}  // namespace
