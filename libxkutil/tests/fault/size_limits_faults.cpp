// SPDX-License-Identifier: MIT
// Every export that turns a caller's size into another size, called where that computation would
// wrap: each must refuse before it allocates, writes or leaks anything.
#include <errno.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdlib.h>

#include <functional>
#include <string>

#include "fault/seam.h"
#include "support/capture.h"
#include "xk/xkutil.h"

namespace {

using std::to_string;
using xk::fault::Call;

constexpr size_t kHalf = SIZE_MAX / 2 + 1;
constexpr size_t kBase64Wrap = 3 * (size_t{1} << 62);
const uint8_t kBytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};

template <typename T>
T *unset() {
    return reinterpret_cast<T *>(1);
}

// "null", "unset", or "block" (freed): what an output pointer holds after the call.
std::string pointer(void *p) {
    if (p != nullptr && p != unset<void>()) free(p);
    return p == nullptr ? "null" : p == unset<void>() ? "unset" : "block";
}

std::string encode(size_t length) {
    char *out = unset<char>();
    size_t len = 0;
    xk_util_status st = xk_util_base64_encode(kBytes, length, &out, &len);
    return to_string(st) + " " + pointer(out);
}

std::string hex_text(size_t length) {
    char *out = unset<char>();
    xk_util_status st = xk_util_sprintf_bytes(kBytes, length, &out);
    return to_string(st) + " " + pointer(out);
}

// Status, output and the length stored for it (the size that could not be allocated).
std::string expand(size_t count, int factor) {
    uint8_t *out = unset<uint8_t>();
    size_t len = 0;
    xk_util_status st = factor == 8 ? xk_util_map_bitstring_to_bytes(kBytes, count, &out, &len)
                                    : xk_util_expand_byte_array(kBytes, count, factor, &out, &len);
    return to_string(st) + " " + pointer(out) + " " + to_string(len);
}

// A collection whose array is full at `count` elements and grows by `growth` (0: by half): the
// next attach must be refused without touching the array, which stands for a full one.
std::string attach_past(int32_t count, int32_t growth) {
    void *slot[1] = {nullptr};
    xk_collection c{};
    c.free_fn = free;
    c.elements = slot;
    c.count = c.capacity = count;
    c.growth = growth;
    bool attached = xk_collection_element_attach(&c, slot);
    return (attached ? "attached " : "refused ") + to_string(c.count - count) +
           (c.elements == slot ? "" : " moved");
}

xk_util_status vsize(int *size, const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    xk_util_status st = xk_util_printf_vsize(format, ap, size);
    va_end(ap);
    return st;
}

struct Row {
    const char *call;
    std::function<std::string()> run;
    std::string seen;  // status and outputs
    int traces;        // records traced, all with the returned status
    const char *log;   // the error line, or "" for none
};

const std::string kMax = to_string(SIZE_MAX);
const Row kRows[] = {
    {"memdup0(SIZE_MAX)", [] { return pointer(xk_util_memdup0(kBytes, SIZE_MAX)); }, "null", 0, ""},
    {"to_base64_size(3 * 2^62)", [] { return to_string(xk_util_to_base64_size(kBase64Wrap)); }, kMax, 0, ""},
    {"to_base64_size(SIZE_MAX)", [] { return to_string(xk_util_to_base64_size(SIZE_MAX)); }, kMax, 0, ""},
    {"base64_encode(3 * 2^62)", [] { return encode(kBase64Wrap); }, "2 null", 0, ""},
    {"base64_encode(3 * 2^62 + 1)", [] { return encode(kBase64Wrap + 1); }, "2 null", 0, ""},
    {"base64_encode(3 * 2^62 + 2)", [] { return encode(kBase64Wrap + 2); }, "2 null", 0, ""},
    {"base64_encode(3 * 2^62 + 3)", [] { return encode(kBase64Wrap + 3); }, "2 null", 0, ""},
    {"base64_encode(SIZE_MAX)", [] { return encode(SIZE_MAX); }, "2 null", 0, ""},
    {"sprintf_bytes(SIZE_MAX / 2 + 1)", [] { return hex_text(kHalf); }, "2 null", 1, "Allocation failed"},
    {"sprintf_bytes(SIZE_MAX)", [] { return hex_text(SIZE_MAX); }, "2 null", 1, "Allocation failed"},
    {"map_bitstring_to_bytes(SIZE_MAX / 8 + 1)", [] { return expand(SIZE_MAX / 8 + 1, 8); }, "2 null " + kMax,
     1, "Memory allocation failed"},
    {"expand_byte_array(SIZE_MAX / 2 + 1, 2)", [] { return expand(kHalf, 2); }, "2 null 0", 1,
     "Memory allocation failed"},
    {"expand_byte_array(SIZE_MAX, INT32_MAX)", [] { return expand(SIZE_MAX, INT32_MAX); },
     "2 null " + to_string(size_t{0} - INT32_MAX), 1, "Memory allocation failed"},
    {"expand_byte_array(3, -1)", [] { return expand(3, -1); }, "2 null " + to_string(size_t{0} - 3), 1,
     "Memory allocation failed"},
    {"sum_init(SIZE_MAX / 8 + 1)",
     [] {
         xk_util_sum sum{};
         xk_util_status st = xk_util_sum_init(&sum, SIZE_MAX / 8 + 1);
         return to_string(st) + " " + pointer(sum.buckets) + " " + to_string(sum.n);
     },
     "2 null 0", 1, "calloc() failed, N=2305843009213693952"},
    {"snprintf(size INT32_MAX + 1)",
     [] {
         char buf[4] = "abc";
         int n = xk_util_snprintf(buf, size_t{INT32_MAX} + 1, "%s", "x");
         return to_string(n) + " " + buf;
     },
     "-1 abc", 0, ""},
    {"collection full at INT32_MAX elements", [] { return attach_past(INT32_MAX, 10); }, "refused 0", 0, ""},
    {"collection growth past INT32_MAX", [] { return attach_past(1, INT32_MAX); }, "refused 0", 0, ""},
    {"collection growth by half past INT32_MAX", [] { return attach_past(INT32_MAX / 3 * 2, 0); },
     "refused 0", 0, ""},
};

using SizeLimits = xk::test::ReportingTest;

TEST_F(SizeLimits, EveryWrappingSizeIsRefusedBeforeAnythingIsAllocated) {
    for (const Row &row : kRows) {
        SCOPED_TRACE(row.call);
        capture.clear();
        size_t blocks_before = xk::fault::live_blocks();
        xk::fault::arm(Call::malloc_family, LONG_MAX, ENOMEM);  // counts allocation calls, fails none
        EXPECT_EQ(row.run(), row.seen);
        EXPECT_EQ(xk::fault::seen(Call::malloc_family), 0);
        xk::fault::disarm_all();
        EXPECT_EQ(xk::fault::live_blocks(), blocks_before);
        ASSERT_EQ(traces().size(), static_cast<size_t>(row.traces));
        for (const auto &record : traces()) EXPECT_EQ(std::to_string(record.status), row.seen.substr(0, 1));
        std::string logged = lines().empty() ? "" : lines()[0].text;
        EXPECT_EQ(logged, row.log);
        EXPECT_LE(lines().size(), 1u);
    }
}

// Sizing formats the whole text, seconds of work for 2^31 - 1 characters: run natively only.
TEST_F(SizeLimits, ATextOfInt32MaxCharactersCannotBeSized) {
    if (xk::test::under_emulator()) GTEST_SKIP() << "too slow under emulation";
    int size = 0;
    EXPECT_EQ(vsize(&size, "%*s", INT32_MAX, ""), XK_ERR_SYSTEM);
    EXPECT_EQ(size, INT32_MAX);  // the formatter's count, as after any refused sizing
    EXPECT_EQ(traces().size(), 1u);
    EXPECT_TRUE(lines().empty());
}

}  // namespace
