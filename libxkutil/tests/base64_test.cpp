// SPDX-License-Identifier: MIT
#include "xk/base64.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "internal/base64_roads.h"
#include "support/capture.h"

namespace {

namespace b64 = xk::base64;
using Base64Test = xk::test::ReportingTest;

constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The reference decoder: every non-digit skipped, four digits make three bytes, a last group of
// k digits gives k - 1 bytes (none for a lone digit).
std::string model_decode(const std::string &text) {
    std::string bytes;
    uint32_t group = 0, k = 0;
    for (char c : text) {
        const char *p = c != 0 ? strchr(kDigits, c) : nullptr;
        if (p == nullptr) continue;
        group = group << 6 | static_cast<uint32_t>(p - kDigits);
        if (++k % 4 == 0)
            for (int shift : {16, 8, 0}) bytes += static_cast<char>(group >> shift);
    }
    for (uint32_t j = 1; j < k % 4; ++j) bytes += static_cast<char>(group >> (6 * (k % 4) - 8 * j));
    return bytes;
}

// Runs a converter on an exact-size copy of its input (so a sanitizer sees any read past it).
template <typename In, typename Out, typename Convert>
std::string run(const std::string &input, Convert convert) {
    std::vector<In> in(input.begin(), input.end());
    Out *out = nullptr;
    size_t len = 99;
    EXPECT_EQ(convert(in.data(), in.size(), &out, &len), XK_OK);
    EXPECT_NE(out, nullptr);  // a block to free even for empty output
    std::string result(reinterpret_cast<char *>(out), len);
    free(out);
    return result;
}
std::string encode(const std::string &bytes) { return run<uint8_t, char>(bytes, xk_util_base64_encode); }
std::string decode(const std::string &text) { return run<char, uint8_t>(text, xk_util_base64_decode); }

TEST_F(Base64Test, ExamplesSkippedBytesAndSizesThatCannotBeHad) {
    const char *const rfc[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
    for (size_t n = 0; n < 7; ++n) {
        EXPECT_EQ(xk_util_to_base64_size(n), strlen(rfc[n]));
        EXPECT_EQ(encode(std::string("foobar", n)), rfc[n]);
        EXPECT_EQ(decode(rfc[n]), std::string("foobar", n));
    }
    // Padding does not end a group; URL-safe digits are skipped; unpadded text needs more than 3
    // bytes per 4 input bytes; a lone digit makes no byte.
    const char *const decoded[] = {"Zm9v\nYmFy", "foobar",       "====", "",     "Zg==Zg==", "f\x06`",
                                   "ab+/",       "\x69\xbf\xbf", "ab-_", "\x69", "Zm9vYg",   "foob",
                                   "Zm9vYmF\ny", "foobar",       "Y",    "",     "Y===",     "",
                                   "Zm9v\nY\n",  "foo"};
    for (size_t i = 0; i < std::size(decoded); i += 2)
        EXPECT_EQ(decode(decoded[i]), decoded[i + 1]) << decoded[i];
    EXPECT_EQ(decode(std::string(" Zm\0009v\r\nYm\tF=y\n", 16)), "foobar");
    // The largest length whose text size fits; the sizes past it are refused in the size-limit table.
    EXPECT_EQ(xk_util_to_base64_size(3 * (size_t{1} << 62) - 3), SIZE_MAX - 3);
    size_t len = 0;
    uint8_t *bytes = reinterpret_cast<uint8_t *>(1);
    EXPECT_EQ(xk_util_base64_decode("", SIZE_MAX, &bytes, &len), XK_ERR_NOMEM);
    EXPECT_EQ(bytes, nullptr);
    EXPECT_TRUE(traces().empty());
    EXPECT_TRUE(lines().empty());
}

// Every road this machine runs (the scalar one too) against the reference decoder and the scalar
// encoder: every length up to 300, clean, unpadded, in fixed-width lines, with stray bytes anywhere.
TEST_F(Base64Test, EveryRoadAgrees) {
    struct BestRoadAfterwards {
        ~BestRoadAfterwards() { b64::use_best_road(); }
    } restore;
    ASSERT_NE(b64::current_road(), b64::available_road(b64::kScalar)) << "no vector road to compare";
    const std::string stray("\n\r \t\0=-_.@[`{\x7f\x80\xff", 16);
    std::mt19937 rng(4648);
    auto noise = [&rng](size_t n) {
        std::string s(n, '\0');
        for (char &c : s) c = char(rng());
        return s;
    };
    std::vector<size_t> lengths = {700, 1000, 1001, 1002, 1500, 2047, 4099};
    for (size_t n = 0; n <= 300; ++n) lengths.push_back(n);
    const std::string clean = encode(noise(150));  // 200 digits, past the widest block
    for (size_t n : lengths) {
        const std::string bytes = noise(n);
        ASSERT_TRUE(b64::force_road(b64::kScalar));
        const std::string text = encode(bytes);
        ASSERT_EQ(model_decode(text), bytes);
        std::vector<std::string> cases = {text, text.substr(0, text.find('=')), noise(n), "", "", "", ""};
        size_t width = (rng() % 2 != 0 ? 4 : 1) * (1 + rng() % 32);  // whole groups, or not
        for (size_t i = 0; i < text.size(); ++i) {
            cases[3] += text[i] + std::string((i + 1) % 76 == 0 ? "\n" : "");
            cases[4] += text[i] + std::string((i + 1) % 64 == 0 ? "\r\n" : "");
            cases[5] += text[i] + std::string((i + 1) % width == 0 ? 1 + rng() % 3 : 0, ' ');
            cases[6] += (rng() % 5 == 0 ? std::string(1, stray[rng() % 16]) : std::string()) + text[i];
        }
        // Every byte value, replacing a digit and inserted, at every place of a block.
        cases.push_back(clean.substr(0, n % 67) + static_cast<char>(n) + clean.substr(n % 67 + 1));
        cases.push_back(clean.substr(0, n * 13 % 67) + static_cast<char>(n) + clean.substr(n * 13 % 67));
        for (b64::RoadId id = b64::kScalar; id < b64::kRoadCount; id = static_cast<b64::RoadId>(id + 1)) {
            if (!b64::force_road(id)) continue;
            ASSERT_EQ(b64::current_road(), b64::available_road(id));
            SCOPED_TRACE(testing::Message() << b64::current_road()->name << ", " << n << " bytes");
            ASSERT_EQ(encode(bytes), text);
            ASSERT_EQ(xk_util_to_base64_size(n), text.size());
            for (const std::string &t : cases) ASSERT_EQ(decode(t), model_decode(t)) << t;
        }
    }
}

}  // namespace
