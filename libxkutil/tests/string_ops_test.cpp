// SPDX-License-Identifier: MIT
#include <sys/mman.h>

#include <random>

#include "internal/hex_roads.h"
#include "support/capture.h"

namespace {

using StringOpsTest = xk::test::ReportingTest;
using Fields = std::vector<std::string>;

Fields split(const char *text, const std::string &delim) {
    char **fields = reinterpret_cast<char **>(0x1);
    size_t count = 99;
    EXPECT_EQ(xk_util_split(text, delim.c_str(), &fields, &count), XK_OK);
    EXPECT_EQ(count == 0, fields == nullptr);
    Fields out(fields, fields + count);
    for (size_t i = 0; i < count; ++i) free(fields[i]);
    return free(fields), out;
}

// Fields as the skip step finds them: whole delimiters stepped over, then up to the next delimiter.
Fields split_model(const std::string &text, const std::string &delim) {
    Fields out;
    for (size_t start = 0, end = 0, dl = delim.size(); dl > 0 && end != std::string::npos; start = end) {
        while (start + dl <= text.size() && text.compare(start, dl, delim) == 0) start += dl;
        if (start >= text.size()) break;
        end = text.find(delim, start), out.push_back(text.substr(start, end - start));
    }
    return delim.empty() && !text.empty() ? Fields{text} : out;
}

void expect_join(std::vector<const char *> strings, const char *sep) {
    std::string want = strings[0];
    for (size_t i = 1; i < strings.size(); ++i) want += sep + std::string(strings[i]);
    char *out = nullptr;
    size_t size = 0;
    ASSERT_EQ(xk_util_join(strings.data(), strings.size(), sep, &out, &size), XK_OK);
    EXPECT_EQ(std::string(out, size), want + '\0') << strings.size() << " strings, separator " << sep;
    free(out);
}

// Random splits against the model; their fields, joined again, give the text without its extra delimiters.
TEST_F(StringOpsTest, ReplaceSplitAndJoin) {
    const std::tuple<std::string, size_t, char, char, std::string> replaces[] = {
        // max_len, from, to
        {"a.b.c", 3, '.', '_', "a_b.c"},
        {"a.b.c", 5, '.', '\0', {"a\0b\0c", 5}},
        {{"ab\0ab", 5}, 5, 'a', 'x', {"xb\0ab", 5}},
        {{"ab\0ab", 5}, 5, '\0', 'x', {"ab\0ab", 5}}};
    for (auto [text, max_len, from, to, want] : replaces)
        EXPECT_EQ(std::tuple(xk_util_str_replace(text.data(), max_len, from, to), text),
                  std::tuple(XK_OK, want));
    EXPECT_EQ(xk_util_str_replace(nullptr, 5, 'a', 'b'), XK_OK);
    EXPECT_EQ(split("a,,b,", ","), (Fields{"a", "b"}));
    EXPECT_EQ(split("a---b", "--"), (Fields{"a", "-b"}));
    EXPECT_EQ(split(",,,", ","), Fields{});
    std::mt19937 gen(3);
    for (int round = 0; round < 3000; ++round) {
        std::string text(gen() % 200, ' '),
            delim = std::vector<std::string>{",", "--", "-,", "a", "ab", ""}[gen() % 6];
        for (char &c : text) c = "ab,-"[gen() % 4];
        Fields fields = split(text.c_str(), delim);
        ASSERT_EQ(fields, split_model(text, delim)) << text << " at " << delim;
        std::vector<const char *> strings;
        for (const auto &f : fields) strings.push_back(f.c_str());
        if (!fields.empty()) expect_join(strings, delim.c_str()), expect_join(strings, "<separator of 17>");
    }
    EXPECT_TRUE(traces().empty());
    char **fields = nullptr, logged[128];
    size_t count = 7;
    snprintf(logged, sizeof logged, "NULL argument detected: %p %p %p %p", static_cast<const void *>("a"),
             nullptr, static_cast<void *>(&fields), static_cast<void *>(&count));
    expect_report(xk_util_split("a", nullptr, &fields, &count), XK_ERR_NULL_ARG, {logged});
    EXPECT_EQ(count, 7u);
}

// Strings ending on the last byte before an unreadable page, which a read past the terminator would fault on.
TEST_F(StringOpsTest, SplitAndJoinReadNoFurtherThanTheTerminator) {
    long page = sysconf(_SC_PAGESIZE);
    char *pages = static_cast<char *>(
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_EQ(mprotect(pages + page, page, PROT_NONE), 0);
    std::vector<const char *> edge;
    for (int len = 20; len >= 0; --len)
        pages[page - 2 - len] = 'x', pages[page - 1] = '\0', edge.push_back(pages + page - 1 - len);
    expect_join(edge, ",");
    expect_join({"ab", edge[18]}, ","), expect_join({"ab", "c"}, edge[19]);  // short, with a load at the edge
    for (const char *s : edge) EXPECT_EQ(split(s, ","), *s ? Fields{s} : Fields{});
    char *out = reinterpret_cast<char *>(0x1);
    size_t size = 0;
    expect_all(
        {xk_util_join(edge.data(), 0, ",", &out, &size), xk_util_join(edge.data(), 3, nullptr, &out, &size)});
    EXPECT_EQ(out, reinterpret_cast<char *>(0x1));
    munmap(pages, 2 * page);
}

TEST_F(StringOpsTest, AppendStringChecksInOrder) {
    char *text = nullptr;
    size_t len = 0, zero = 0, huge = SIZE_MAX - 3;
    ASSERT_EQ(xk_util_append_string(&text, &len, "abcXX", 3) | xk_util_append_string(&text, &len, "de", 2),
              XK_OK);
    char *kept = text;
    std::vector<uint32_t> got;  // each check in its place: the length before the pointer, the sum last
    for (auto [l, add_len] :
         {std::pair{&len, 0}, {nullptr, 0}, {&zero, 1}, {&huge, 2}, {&huge, 3}, {&huge, 4}})
        got.push_back(xk_util_append_string(&text, l, "fgh", add_len));
    auto records = traces();
    EXPECT_TRUE(records[1].line < records[0].line && records[0].line < records[2].line);
    EXPECT_EQ(chain(got),
              "73723333; append_string 7; append_string 3; append_string 7; append_string 2; "
              "append_string 33; append_string 33");
    EXPECT_EQ(std::tuple(text, std::string(text), len, huge), std::tuple(kept, "abcde", 5u, SIZE_MAX - 3));
    free(text);
}

// Every length to 300, on the vector roads and off them, against a model of the text and of
// the reading: a pair reads as far as its leading hex digits go, an odd last character not at all.
TEST_F(StringOpsTest, HexTextAgainstItsModelOnAndOffTheVectorRoads) {
#if defined(__x86_64__) || defined(__aarch64__)
    EXPECT_TRUE(xk::hex::vector_road_available());
#endif
    const std::string digits = "0123456789abcdef", odd("gG/:@`' +-xX\n\0\xff", 16);
    auto value = [&](char c) {
        return digits.find(static_cast<char>(tolower(static_cast<unsigned char>(c))));
    };
    std::mt19937_64 gen(42);
    for (size_t n = 0; n <= 300; ++n) {
        std::string data(n, '\0'), text, hex, want;
        for (char &b : data)
            b = static_cast<char>(gen()), text += digits[(b >> 4) & 15], text += digits[b & 15];
        for (size_t i = 0; i < 2 * n + n % 2; ++i) hex += "0123456789abcdefABCDEF"[gen() % 22];
        for (int k = 0; k < 3 && !hex.empty(); ++k)
            hex[gen() % hex.size()] = gen() % 2 ? odd[gen() % 16] : hex[0];
        for (size_t i = 0, high, low; i + 1 < hex.size(); i += 2) {
            high = value(hex[i]), low = value(hex[i + 1]);
            want += static_cast<char>(high > 15 ? 0 : low > 15 ? high : high << 4 | low);
        }
        for (bool vector : {true, false}) {
            char *out = nullptr;
            uint8_t *bytes = nullptr;
            xk::hex::allow_vector_roads(vector);
            EXPECT_EQ(xk_util_sprintf_bytes(reinterpret_cast<const uint8_t *>(data.data()), n, &out) |
                          xk_util_sscanf_bytes(hex.data(), hex.size(), &bytes),
                      XK_OK);
            ASSERT_EQ(std::string(out), text) << n;
            ASSERT_EQ(std::string(reinterpret_cast<char *>(bytes), hex.size() / 2), want)
                << n << vector << hex;
            free(out), free(bytes);
        }
    }
    xk::hex::allow_vector_roads(true);
    EXPECT_TRUE(traces().empty());
}

}  // namespace
