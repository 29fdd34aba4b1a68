#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>

#include "support/capture.h"
#include "support/hexdump_reference.h"
#include "xk/strbuf.h"

namespace {

using StrbufTest = xk::test::ReportingTest;

struct BufferDeleter {
    void operator()(xk_util_strbuf *sb) const { xk_util_strbuf_free(sb); }
};
using Buffer = std::unique_ptr<xk_util_strbuf, BufferDeleter>;

Buffer make(int capacity = 0) { return Buffer(xk_util_strbuf_new(capacity)); }

bool tail_is_zero(const xk_util_strbuf *sb) {
    for (int32_t i = static_cast<int32_t>(strlen(sb->str)); i < sb->capacity; ++i)
        if (sb->str[i] != '\0') return false;
    return true;
}

TEST_F(StrbufTest, NewGivesAnEmptyBufferWithDefaults) {
    Buffer sb = make();
    ASSERT_NE(sb, nullptr);
    EXPECT_EQ(sb->capacity, 128);
    EXPECT_EQ(sb->hex_limit, 256);
    EXPECT_STREQ(xk_util_strbuf_getstr(sb.get()), "");
    EXPECT_EQ(make(10)->capacity, 10);
    EXPECT_EQ(make(-1), nullptr);
    EXPECT_EQ(xk_util_strbuf_getstr(nullptr), nullptr);
    EXPECT_TRUE(lines().empty());
}

TEST_F(StrbufTest, GrowsToFormattedLengthPlusTextPlus128AndZeroesTheTail) {
    Buffer sb = make();
    EXPECT_EQ(xk_util_strbuf_append_f(sb.get(), "%127s", ""), 127);
    EXPECT_EQ(sb->capacity, 128);
    xk_util_strbuf_clear(sb.get());
    EXPECT_EQ(xk_util_strbuf_append_f(sb.get(), "%128s", ""), 128);
    EXPECT_EQ(sb->capacity, 256);

    Buffer worked = make();
    EXPECT_EQ(xk_util_strbuf_append_f(worked.get(), "%200s", "z"), 200);
    EXPECT_EQ(worked->capacity, 328);
    EXPECT_EQ(std::string(worked->str), std::string(199, ' ') + "z");
    EXPECT_TRUE(tail_is_zero(worked.get()));

    Buffer offset = make();
    xk_util_strbuf_append_f(offset.get(), "x");
    EXPECT_EQ(xk_util_strbuf_append_f(offset.get(), "%200s", ""), 200);
    EXPECT_EQ(offset->capacity, 200 + 1 + 128);
    EXPECT_EQ(strlen(offset->str), 201u);
    EXPECT_TRUE(tail_is_zero(offset.get()));
    EXPECT_TRUE(lines().empty());
    EXPECT_TRUE(traces().empty());
}

TEST_F(StrbufTest, AppendsEndAtTheFirstZeroByte) {
    Buffer sb = make();
    xk_util_strbuf_append_f(sb.get(), "x");
    EXPECT_EQ(xk_util_strbuf_append_f(sb.get(), "%s", "abc"), 3);
    EXPECT_STREQ(sb->str, "xabc");
    EXPECT_EQ(xk_util_strbuf_append_f(sb.get(), "%c", 0), 1);
    EXPECT_EQ(xk_util_strbuf_append_f(sb.get(), "%d", 5), 1);
    EXPECT_STREQ(sb->str, "xabc5");
    xk_util_strbuf_clear(sb.get());
    char *storage = sb->str;
    xk_util_strbuf_append_f(sb.get(), "new");
    EXPECT_STREQ(sb->str, "new");
    EXPECT_EQ(sb->str, storage);
}

TEST_F(StrbufTest, RecordWithoutStorageGetsItOnFirstAppend) {
    xk_util_strbuf bare{nullptr, 0, 0};
    EXPECT_EQ(xk_util_strbuf_append_f(&bare, "%s", "hi"), 2);
    EXPECT_EQ(bare.capacity, 128);
    EXPECT_STREQ(bare.str, "hi");
    free(bare.str);
    xk_util_strbuf sized{nullptr, 4, 0};
    EXPECT_EQ(xk_util_strbuf_append_f(&sized, "%s", "hi"), 2);
    EXPECT_EQ(sized.capacity, 4);
    free(sized.str);
}

TEST_F(StrbufTest, NullBufferLogsTwoLinesUnderTheAppendName) {
    EXPECT_EQ(xk_util_strbuf_append_f(nullptr, "%d", 1), -1);
    ASSERT_EQ(lines().size(), 2u);
    EXPECT_EQ(lines()[0].text, "NULL strbuf");
    EXPECT_EQ(lines()[1].text, "Error in strbuf");
    for (const auto &line : lines()) {
        EXPECT_EQ(line.level, 3);
        EXPECT_EQ(line.func, "xk_util_strbuf_append_fv");
        EXPECT_EQ(line.file, "");
        EXPECT_EQ(line.line, 0);
    }
    EXPECT_TRUE(traces().empty());
}

// Runs body in a child whose address space is capped, so a resize fails without touching the
// parent; the child reports through its exit status.
template <typename Body>
void in_capped_child(Body body) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        long pages = 0;
        FILE *statm = fopen("/proc/self/statm", "r");
        if (statm == nullptr || fscanf(statm, "%ld", &pages) != 1) _exit(2);
        fclose(statm);
        rlim_t cap = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (16u << 20);
        struct rlimit limit = {cap, cap};
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(2);
        body();
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(StrbufTest, FailedResizeKeepsStorageAndTheCutText) {
    // qemu-user reserves the guest address space itself, so an address-space cap cannot make realloc fail.
    if (const char *e = getenv("XK_UNDER_EMULATOR"); e != nullptr && e[0] == '1')
        GTEST_SKIP() << "address-space caps do not reach the emulated heap";
    in_capped_child([this] {
        Buffer sb = make();
        // More than a thread arena keeps in reserve, so the resize must map memory the cap refuses.
        EXPECT_EQ(xk_util_strbuf_append_f(sb.get(), "%*s", 96 << 20, "x"), -1);
        EXPECT_EQ(sb->capacity, 128);
        EXPECT_EQ(std::string(sb->str), std::string(127, ' '));
        ASSERT_EQ(lines().size(), 2u);
        EXPECT_EQ(lines()[0].text, "Could not realloc strbuf to " + std::to_string((96 << 20) + 128));
        EXPECT_EQ(lines()[1].text, "Error in strbuf");
    });
}

TEST_F(StrbufTest, FormatterFailureDoublesUntilTheResizeFails) {
    in_capped_child([this] {
        ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
        const wchar_t bad[] = {static_cast<wchar_t>(0xD800), 0};
        Buffer sb = make();
        EXPECT_EQ(xk_util_strbuf_append_f(sb.get(), "%ls", bad), -1);
        int32_t capacity = sb->capacity;
        EXPECT_GT(capacity, 128);
        EXPECT_EQ(capacity & (capacity - 1), 0) << "capacity " << capacity << " is not 128 doubled";
        ASSERT_EQ(lines().size(), 2u);
        EXPECT_EQ(lines()[0].text, "Could not realloc strbuf to " + std::to_string(2L * capacity));
        EXPECT_TRUE(tail_is_zero(sb.get()));
    });
}

TEST_F(StrbufTest, HexdumpLayout) {
    Buffer sb = make();
    unsigned char letters[20];
    for (int i = 0; i < 20; ++i) letters[i] = static_cast<unsigned char>(0x41 + i);
    xk_util_strbuf_append_f(sb.get(), "head\n");
    xk_util_strbuf_hexdump(sb.get(), "P", letters, 20);
    EXPECT_STREQ(sb->str,
                 "head\nP41 42 43 44 45 46 47 48 - 49 4A 4B 4C 4D 4E 4F 50 : ABCDEFGHIJKLMNOP\n"
                 "P51 52 53 54 : QRST\n");

    xk_util_strbuf_clear(sb.get());
    xk_util_strbuf_hexdump(sb.get(), "P", letters, 16);
    EXPECT_STREQ(sb->str, "P41 42 43 44 45 46 47 48 - 49 4A 4B 4C 4D 4E 4F 50 : ABCDEFGHIJKLMNOP\n");

    const unsigned char odd[] = {0x0A, 0x20, 0x7E, 0x7F, 0x80, 0xFF, 0x00, 0x25, 0x41};
    xk_util_strbuf_clear(sb.get());
    xk_util_strbuf_hexdump(sb.get(), nullptr, odd, 1);
    EXPECT_STREQ(sb->str, "    0A : .\n");
    xk_util_strbuf_clear(sb.get());
    xk_util_strbuf_hexdump(sb.get(), "%s", odd, sizeof odd);
    EXPECT_STREQ(sb->str, "%s0A 20 7E 7F 80 FF 00 25 - 41 : . ~....%A\n");
}

TEST_F(StrbufTest, HexdumpHonoursTheLimit) {
    unsigned char data[300];
    for (int i = 0; i < 300; ++i) data[i] = static_cast<unsigned char>(i);
    auto dump = [&](int limit, size_t len) {
        Buffer sb = make();
        if (limit != 256) xk_util_strbuf_set_hex_limit(sb.get(), limit);
        xk_util_strbuf_hexdump(sb.get(), "", data, len);
        return std::string(sb->str);
    };
    std::string cut = dump(256, 300);
    EXPECT_EQ(std::count(cut.begin(), cut.end(), '\n'), 16);
    EXPECT_EQ(cut.substr(cut.size() - 22), "FF : ................\n");
    std::string whole = dump(0, 300);
    EXPECT_EQ(std::count(whole.begin(), whole.end(), '\n'), 19);
    EXPECT_EQ(whole.substr(whole.rfind("\n", whole.size() - 2) + 1, 3), "20 ");
    EXPECT_EQ(dump(3, 300), "00 01 02 : ...\n");
    EXPECT_EQ(dump(-1, 300), "\n");
    EXPECT_EQ(dump(256, 0), "");
    xk_util_strbuf_hexdump(nullptr, "", data, 1);
    EXPECT_TRUE(lines().empty());
}

// Text and capacity both: a dump grows its buffer exactly as its appends would one by one.
TEST_F(StrbufTest, HexdumpGrowsLikeItsAppendsOneByOne) {
    unsigned char data[300];
    for (int i = 0; i < 300; ++i) data[i] = static_cast<unsigned char>(i * 7);
    const std::string long_prefix(300, '>');
    for (const char *prefix : {static_cast<const char *>(nullptr), "", "P", long_prefix.c_str()})
        for (int capacity : {1, 2, 7, 60, 128, 200, 1000})
            for (size_t len : {1, 15, 16, 17, 33, 64, 300})
                for (int limit : {256, 0, 20}) {
                    Buffer ours = make(capacity), theirs = make(capacity);
                    for (xk_util_strbuf *sb : {ours.get(), theirs.get()}) {
                        xk_util_strbuf_set_hex_limit(sb, limit);
                        xk_util_strbuf_append_f(sb, "head");
                    }
                    xk_util_strbuf_hexdump(ours.get(), prefix, data, len);
                    xk::test::reference_hexdump(theirs.get(), prefix, data, len);
                    ASSERT_STREQ(ours->str, theirs->str) << capacity << " " << len << " " << limit;
                    ASSERT_EQ(ours->capacity, theirs->capacity) << capacity << " " << len << " " << limit;
                    ASSERT_TRUE(tail_is_zero(ours.get()));
                }
    EXPECT_TRUE(lines().empty());
}

TEST_F(StrbufTest, SubstituteReplacesLeftToRightWithoutRescanning) {
    auto substitute = [](const char *text, const char *needle, int max_count, int *result) {
        Buffer sb = make(4);
        xk_util_strbuf_set_hex_limit(sb.get(), 7);
        xk_util_strbuf_append_f(sb.get(), "%s", text);
        *result = xk_util_strbuf_substitute(sb.get(), needle, max_count, "%d", 42);
        EXPECT_EQ(sb->hex_limit, 7);
        EXPECT_TRUE(tail_is_zero(sb.get()));
        return std::string(sb->str);
    };
    int result = -99;
    EXPECT_EQ(substitute("a$Xb$X", "$X", 0, &result), "a42b42");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(substitute("a$Xb$X", "$X", 1, &result), "a42b$X");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(substitute("x4y4", "4", 0, &result), "x42y42");
    EXPECT_EQ(result, 2);
    EXPECT_EQ(substitute("424242", "42", 0, &result), "424242");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(substitute("%d 100%", "$X", 0, &result), "%d 100%");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(substitute("abc", "abc", 0, &result), "42");
    EXPECT_EQ(result, -1);
    EXPECT_EQ(substitute("a$X", "$X", -1, &result), "a$X");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(substitute("text", "", 3, &result), "424242text");
    EXPECT_EQ(result, 6);
    // An empty needle with no limit changes nothing.
    EXPECT_EQ(substitute("text", "", 0, &result), "text");
    EXPECT_EQ(result, 0);
}

TEST_F(StrbufTest, SubstituteLeavesTheBufferAloneWhenItCannotProceed) {
    Buffer sb = make();
    xk_util_strbuf_append_f(sb.get(), "a$X");
    EXPECT_EQ(xk_util_strbuf_substitute(sb.get(), nullptr, 0, "%d", 1), 0);
    EXPECT_EQ(xk_util_strbuf_substitute(sb.get(), "$X", 0, nullptr), 0);
    EXPECT_EQ(xk_util_strbuf_substitute(nullptr, "$X", 0, "%d", 1), 0);
    // A capacity the scratch buffer cannot be made with.
    char *storage = sb->str;
    sb->capacity = -5;
    EXPECT_EQ(xk_util_strbuf_substitute(sb.get(), "$X", 0, "%d", 1), 0);
    EXPECT_EQ(sb->str, storage);
    EXPECT_EQ(sb->capacity, -5);
    EXPECT_STREQ(sb->str, "a$X");
    sb->capacity = 128;
    EXPECT_TRUE(lines().empty());
}

}  // namespace
