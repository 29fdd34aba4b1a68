#include <errno.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <string>

#include "fault/driver.h"
#include "fault/expect.h"
#include "support/capture.h"
#include "support/hexdump_reference.h"
#include "xk/hex.h"
#include "xk/strbuf.h"
#include "xk/strings.h"
#include "xk/wide.h"

// The tests build their starting buffers past the seam, so only the library's own
// allocations are failure points.
extern "C" void *__real_calloc(size_t, size_t);

namespace {

using namespace xk::fault;

class TextFaults : public xk::test::ReportingTest {
protected:
    // A record holding text in storage of the given capacity, allocated past the seam.
    static xk_util_strbuf buffer_with(const char *text, int32_t capacity, int32_t hex_limit = 256) {
        xk_util_strbuf sb{static_cast<char *>(__real_calloc(static_cast<size_t>(capacity), 1)), capacity,
                          hex_limit};
        strcpy(sb.str, text);
        return sb;
    }
    // The append's failure lines: level 3, no source position, under the append's own name.
    void expect_append_lines(const Texts &expected) {
        EXPECT_EQ(texts(lines()), expected);
        for (const auto &l : lines()) {
            EXPECT_EQ(l.level, 3);
            EXPECT_EQ(l.func, "xk_util_strbuf_append_fv");
            EXPECT_EQ(l.file, "");
            EXPECT_EQ(l.line, 0);
        }
        EXPECT_TRUE(traces().empty());
    }
    // One plain level-3 line (or none) and a single trace record.
    void expect_nomem(const char *func, const char *line) {
        EXPECT_EQ(chain(traces()), (Chain{{func, kNoMem}}));
        EXPECT_EQ(texts(lines()), line == nullptr ? Texts{} : Texts{line});
        for (const auto &l : lines()) EXPECT_EQ(l.file, "");
    }
};

// --- string buffer ---

TEST_F(TextFaults, NewBufferReleasesTheRecordWhenItsStorageFails) {
    long points = drive_allocations(
        [&] {
            xk_util_strbuf *sb = xk_util_strbuf_new(0);
            if (sb == nullptr) return false;
            EXPECT_EQ(sb->capacity, 128);
            xk_util_strbuf_free(sb);
            return true;
        },
        [&](long) { EXPECT_TRUE(lines().empty()); });
    EXPECT_EQ(points, 2);  // the record, then its storage
}

TEST_F(TextFaults, AppendFailuresKeepStorageAndCapacityAndLogTwoLines) {
    const std::string text(200, 'x');
    xk_util_strbuf sb{};
    std::string kept;
    int n = 0;
    long points = drive_allocations(
        [&] {
            capture.clear();
            sb = xk_util_strbuf{};  // a record without storage takes its first block on demand
            n = xk_util_strbuf_append_f(&sb, "%s", text.c_str());
            kept = sb.str == nullptr ? "" : sb.str;
            bool ok = n == 200 && sb.capacity == 328 && kept == text;
            free(sb.str);
            return ok;
        },
        [&](long point) {
            EXPECT_EQ(n, -1);
            if (point == 0) {
                EXPECT_EQ(sb.str, nullptr);
                EXPECT_EQ(sb.capacity, 0);
                expect_append_lines({"Alloc failed for strbuf", "Error in strbuf"});
            } else {
                // The resize to 200 + 128 failed: the first block stays, holding the cut text.
                EXPECT_EQ(sb.capacity, 128);
                EXPECT_EQ(kept, text.substr(0, 127));
                expect_append_lines({"Could not realloc strbuf to 328", "Error in strbuf"});
            }
        });
    EXPECT_EQ(points, 2);

    // A formatter that fails once makes the append double the storage and try again.
    capture.clear();
    sb = buffer_with("x", 128);
    xk::fault::arm(Call::vsnprintf, 0, EOVERFLOW);
    EXPECT_EQ(xk_util_strbuf_append_f(&sb, "%s", "abc"), 3);
    EXPECT_TRUE(xk::fault::fired(Call::vsnprintf));
    xk::fault::disarm_all();
    EXPECT_EQ(sb.capacity, 256);
    EXPECT_STREQ(sb.str, "xabc");
    EXPECT_TRUE(lines().empty());
    free(sb.str);
}

TEST_F(TextFaults, HexdumpGoesOnAfterAFailedAppend) {
    const unsigned char data[20] = {0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A,
                                    0x4B, 0x4C, 0x4D, 0x4E, 0x4F, 0x50, 0x51, 0x52, 0x53, 0x54};
    const std::string first = "P41 42 43 44 45 46 47 48 - 49 4A 4B 4C 4D 4E 4F 50 : ABCDEFGHIJKLMNOP";
    const std::string rest = "\nP51 52 53 54 : QRST\n";
    std::string text;
    long points = drive_allocations(
        [&] {
            capture.clear();
            xk_util_strbuf sb = buffer_with("", 8);
            xk_util_strbuf_hexdump(&sb, "P", data, sizeof data);
            text = sb.str;
            free(sb.str);
            return text == first + rest;
        },
        [&](long) {
            // The growth failed within the first line: what fitted stays, a part of the line is
            // lost, and the dump goes on with the second line and the final newline.
            EXPECT_EQ(text.rfind("P41 42 ", 0), 0u) << text;
            EXPECT_LT(text.size(), first.size() + rest.size());
            ASSERT_GE(text.size(), rest.size());
            EXPECT_EQ(text.substr(text.size() - rest.size()), rest);
            ASSERT_EQ(lines().size(), 2u);
            EXPECT_EQ(lines()[0].text.rfind("Could not realloc strbuf to ", 0), 0u);
            expect_append_lines({lines()[0].text, "Error in strbuf"});
        });
    EXPECT_EQ(points, 1);
}

// With any one growth failing, the dump leaves what its appends one by one would have left.
TEST_F(TextFaults, HexdumpFailsAtTheSamePiecesAsItsAppendsOneByOne) {
    unsigned char data[96];
    for (int i = 0; i < 96; ++i) data[i] = static_cast<unsigned char>(0x20 + i);
    struct Outcome {
        std::string text;
        int32_t capacity;
        Texts logged;
        bool injected;
    };
    auto run = [&](long n, auto dump) {
        capture.clear();
        xk_util_strbuf sb = buffer_with("", 8);
        xk::fault::arm(Call::malloc_family, n);
        dump(&sb, "P", data, sizeof data);
        Outcome outcome{sb.str, sb.capacity, texts(lines()), xk::fault::fired(Call::malloc_family)};
        xk::fault::disarm_all();
        free(sb.str);
        return outcome;
    };
    long n = 0;
    for (;; ++n) {
        Outcome ours = run(n, xk_util_strbuf_hexdump);
        Outcome theirs = run(n, xk::test::reference_hexdump);
        ASSERT_EQ(ours.injected, theirs.injected) << n;
        EXPECT_EQ(ours.text, theirs.text) << n;
        EXPECT_EQ(ours.capacity, theirs.capacity) << n;
        EXPECT_EQ(ours.logged, theirs.logged) << n;
        if (!ours.injected) break;
    }
    EXPECT_GE(n, 3);
}

TEST_F(TextFaults, SubstitutionKeepsTheBufferWithoutAScratchAndGoesOnPastAFailedAppend) {
    // The scratch starts at the buffer's capacity of 8, so the first ten-character
    // replacement makes it grow to 10 + 1 + 128.
    xk_util_strbuf sb{};
    bool same_storage = false;
    std::string text;
    int result = 0;
    long points = drive_allocations(
        [&] {
            capture.clear();
            sb = buffer_with("a$Xb$X", 8, 77);
            char *before = sb.str;
            result = xk_util_strbuf_substitute(&sb, "$X", 0, "%s", "0123456789");
            text = sb.str;
            same_storage = sb.str == before;
            bool ok = result == 16 && text == "a0123456789b0123456789" && sb.capacity == 139;
            EXPECT_EQ(sb.hex_limit, 77);
            free(sb.str);
            return ok;
        },
        [&](long point) {
            if (point < 2) {
                // The scratch record or its storage: nothing changes, not even the storage.
                EXPECT_EQ(result, 0);
                EXPECT_EQ(text, "a$Xb$X");
                EXPECT_TRUE(same_storage);
                EXPECT_EQ(sb.capacity, 8);
                expect_append_lines({});
                return;
            }
            // The first replacement failed (-1) after writing 6 characters; the rest went on.
            EXPECT_EQ(result, -1 - 2 + 10 - 2);
            EXPECT_EQ(text, "a012345b0123456789");
            EXPECT_EQ(sb.capacity, 1 + 7 + 128);
            expect_append_lines({"Could not realloc strbuf to 139", "Error in strbuf"});
        });
    EXPECT_EQ(points, 3);
}

// --- split, join, append ---

TEST_F(TextFaults, SplitReleasesEveryFieldMadeAndKeepsTheCount) {
    char **fields = nullptr;
    size_t count = 0;
    long points = drive_allocations(
        [&] {
            capture.clear();
            fields = reinterpret_cast<char **>(1);
            count = 0;
            if (xk_util_split("a,,bc,d,", ",", &fields, &count) != XK_OK) return false;
            EXPECT_EQ(count, 3u);
            EXPECT_STREQ(fields[1], "bc");
            for (size_t i = 0; i < count; ++i) free(fields[i]);
            free(fields);
            return true;
        },
        [&](long point) {
            EXPECT_EQ(fields, nullptr);
            EXPECT_EQ(count, 3u);
            expect_nomem("xk_util_split",
                         point == 0 ? "Memory allocation failed" : "Failed to allocate memory");
        });
    EXPECT_EQ(points, 4);  // the array, then each of the three fields
}

TEST_F(TextFaults, JoinAndAppendReportNoMemoryWithoutLogging) {
    const char *strings[] = {"a", "b", "c"};
    char *joined = nullptr;
    size_t size = 0;
    long points = drive_allocations(
        [&] {
            capture.clear();
            joined = reinterpret_cast<char *>(1);
            if (xk_util_join(strings, 3, ", ", &joined, &size) != XK_OK) return false;
            EXPECT_STREQ(joined, "a, b, c");
            free(joined);
            return true;
        },
        [&](long) {
            EXPECT_EQ(joined, nullptr);
            EXPECT_EQ(size, 8u);
            expect_nomem("xk_util_join", nullptr);
        });
    EXPECT_EQ(points, 1);

    std::string kept;
    size_t len = 0;
    points = drive_allocations(
        [&] {
            capture.clear();
            char *str = nullptr;
            len = 0;
            bool ok = xk_util_append_string(&str, &len, "abc", 3) == XK_OK &&
                      xk_util_append_string(&str, &len, "de", 2) == XK_OK;
            kept = str == nullptr ? "(null)" : str;
            free(str);
            return ok && kept == "abcde" && len == 5;
        },
        [&](long point) {
            // The caller's text and length are as the failed append found them.
            EXPECT_EQ(kept, point == 0 ? "(null)" : "abc");
            EXPECT_EQ(len, point == 0 ? 0u : 3u);
            expect_nomem("xk_util_append_string", nullptr);
        });
    EXPECT_EQ(points, 2);  // the first copy, then the grown text
}

// --- hex text and wide conversion ---

TEST_F(TextFaults, HexTextConvertersLogAllocationFailed) {
    const uint8_t bytes[] = {0x00, 0xAB, 0x7F};
    char *text = nullptr;
    long points = drive_allocations(
        [&] {
            capture.clear();
            text = reinterpret_cast<char *>(1);
            if (xk_util_sprintf_bytes(bytes, sizeof bytes, &text) != XK_OK) return false;
            EXPECT_STREQ(text, "00ab7f");
            free(text);
            return true;
        },
        [&](long) {
            EXPECT_EQ(text, nullptr);
            expect_nomem("xk_util_sprintf_bytes", "Allocation failed");
        });
    EXPECT_EQ(points, 1);

    uint8_t *decoded = nullptr;
    points = drive_allocations(
        [&] {
            capture.clear();
            decoded = reinterpret_cast<uint8_t *>(1);
            if (xk_util_sscanf_bytes("00AB7f", 6, &decoded) != XK_OK) return false;
            EXPECT_EQ(memcmp(decoded, bytes, sizeof bytes), 0);
            free(decoded);
            return true;
        },
        [&](long) {
            EXPECT_EQ(decoded, nullptr);
            expect_nomem("xk_util_sscanf_bytes", "Allocation failed");
        });
    EXPECT_EQ(points, 1);
}

TEST_F(TextFaults, WideConversionKeepsTheMeasuredLength) {
    wchar_t *wide = nullptr;
    size_t wide_len = 0;
    long points = drive_allocations(
        [&] {
            capture.clear();
            wide = reinterpret_cast<wchar_t *>(1);
            wide_len = 0;
            if (xk_util_char_to_wchar("abc", 99, &wide, &wide_len) != XK_OK) return false;
            EXPECT_EQ(wcscmp(wide, L"abc"), 0);
            free(wide);
            return true;
        },
        [&](long) {
            EXPECT_EQ(wide, nullptr);
            EXPECT_EQ(wide_len, 3u);
            expect_nomem("xk_util_char_to_wchar", nullptr);
        });
    EXPECT_EQ(points, 1);
}

}  // namespace
