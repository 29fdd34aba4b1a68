// Every export that turns a caller's size into another size, called where that computation would
// wrap: each must refuse before it allocates, writes or leaks anything.
#include <errno.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdlib.h>

#include <functional>

#include "fault/seam.h"
#include "support/capture.h"
#include "xk/xkutil.h"

namespace {

using xk::fault::Call;

constexpr uint32_t kPlainFailure = UINT32_MAX;  // a plain-value function returned its failure value
constexpr size_t kHalf = SIZE_MAX / 2 + 1;
constexpr size_t kBase64Wrap = 3 * (size_t{1} << 62);

const uint8_t kBytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
void *const kUntouched = reinterpret_cast<void *>(0x1);

xk_util_status vsize(int *size, const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    xk_util_status st = xk_util_printf_vsize(format, ap, size);
    va_end(ap);
    return st;
}

// Runs an encoder-shaped call (data, length, &out, &out_len) and checks the output pointer.
template <typename Out, typename Fn>
uint32_t refused_with_null(Fn call) {
    Out out = static_cast<Out>(kUntouched);
    size_t len = 0;
    xk_util_status st = call(&out, &len);
    EXPECT_EQ(out, nullptr);
    return st;
}

struct Row {
    const char *call;
    uint32_t expected;  // a status, or kPlainFailure
    bool traced;        // as the function traces its other failures of that kind
    const char *log;    // its error line, or "" for none
    std::function<uint32_t()> run;
};

uint32_t encode(size_t length) {
    return refused_with_null<char *>(
        [&](char **o, size_t *l) { return xk_util_base64_encode(kBytes, length, o, l); });
}

uint32_t hex_text(size_t length) {
    return refused_with_null<char *>(
        [&](char **o, size_t *) { return xk_util_sprintf_bytes(kBytes, length, o); });
}

uint32_t expand(size_t count, int factor, size_t expected_len) {
    return refused_with_null<uint8_t *>([&](uint8_t **o, size_t *l) {
        xk_util_status st = xk_util_expand_byte_array(kBytes, count, factor, o, l);
        EXPECT_EQ(*l, expected_len);  // the size that could not be allocated, as stored
        return st;
    });
}

// A collection whose array is full at `count` elements and grows by `growth`: the next attach
// must be refused without touching the array (which stands for a full one).
uint32_t attach_past(int32_t count, int32_t growth) {
    void *slot[1] = {nullptr};
    xk_collection c{};
    c.free_fn = free;
    c.elements = slot;
    c.count = c.capacity = count;
    c.growth = growth;
    bool attached = xk_collection_element_attach(&c, kUntouched);
    EXPECT_EQ(c.count, count);
    EXPECT_EQ(c.elements, slot);
    return attached ? 0 : kPlainFailure;
}

const Row kRows[] = {
    {"memdup0(SIZE_MAX)", kPlainFailure, false, "",
     [] { return xk_util_memdup0(kBytes, SIZE_MAX) == nullptr ? kPlainFailure : 0; }},
    {"to_base64_size(3 * 2^62) saturates", kPlainFailure, false, "",
     [] { return xk_util_to_base64_size(kBase64Wrap) == SIZE_MAX ? kPlainFailure : 0; }},
    {"to_base64_size(SIZE_MAX) saturates", kPlainFailure, false, "",
     [] { return xk_util_to_base64_size(SIZE_MAX) == SIZE_MAX ? kPlainFailure : 0; }},
    {"base64_encode(3 * 2^62)", XK_ERR_NOMEM, false, "", [] { return encode(kBase64Wrap); }},
    {"base64_encode(3 * 2^62 + 1)", XK_ERR_NOMEM, false, "", [] { return encode(kBase64Wrap + 1); }},
    {"base64_encode(3 * 2^62 + 2)", XK_ERR_NOMEM, false, "", [] { return encode(kBase64Wrap + 2); }},
    {"base64_encode(3 * 2^62 + 3)", XK_ERR_NOMEM, false, "", [] { return encode(kBase64Wrap + 3); }},
    {"base64_encode(SIZE_MAX)", XK_ERR_NOMEM, false, "", [] { return encode(SIZE_MAX); }},
    {"sprintf_bytes(SIZE_MAX / 2 + 1)", XK_ERR_NOMEM, true, "Allocation failed",
     [] { return hex_text(kHalf); }},
    {"sprintf_bytes(SIZE_MAX)", XK_ERR_NOMEM, true, "Allocation failed", [] { return hex_text(SIZE_MAX); }},
    {"map_bitstring_to_bytes(SIZE_MAX / 8 + 1)", XK_ERR_NOMEM, true, "Memory allocation failed",
     [] {
         return refused_with_null<uint8_t *>([](uint8_t **o, size_t *l) {
             xk_util_status st = xk_util_map_bitstring_to_bytes(kBytes, SIZE_MAX / 8 + 1, o, l);
             EXPECT_EQ(*l, SIZE_MAX);
             return st;
         });
     }},
    {"expand_byte_array(SIZE_MAX / 2 + 1, 2)", XK_ERR_NOMEM, true, "Memory allocation failed",
     [] { return expand(kHalf, 2, 0); }},
    {"expand_byte_array(SIZE_MAX, INT32_MAX)", XK_ERR_NOMEM, true, "Memory allocation failed",
     [] { return expand(SIZE_MAX, INT32_MAX, size_t{0} - INT32_MAX); }},
    {"expand_byte_array(3, -1)", XK_ERR_NOMEM, true, "Memory allocation failed",
     [] { return expand(3, -1, size_t{0} - 3); }},
    {"sum_init(SIZE_MAX / 8 + 1)", XK_ERR_NOMEM, true, "calloc() failed, N=2305843009213693952",
     [] {
         xk_util_sum sum{};
         xk_util_status st = xk_util_sum_init(&sum, SIZE_MAX / 8 + 1);
         EXPECT_EQ(sum.buckets, nullptr);
         EXPECT_EQ(sum.n, 0u);
         return st;
     }},
    {"snprintf(size INT32_MAX + 1)", kPlainFailure, false, "",
     [] {
         char buf[4] = "abc";
         int n = xk_util_snprintf(buf, size_t{INT32_MAX} + 1, "%s", "x");
         EXPECT_STREQ(buf, "abc");
         return n == -1 ? kPlainFailure : 0;
     }},
    {"collection full at INT32_MAX elements", kPlainFailure, false, "",
     [] { return attach_past(INT32_MAX, 10); }},
    {"collection growth past INT32_MAX", kPlainFailure, false, "", [] { return attach_past(1, INT32_MAX); }},
    {"collection growth by half past INT32_MAX", kPlainFailure, false, "",
     [] { return attach_past(INT32_MAX / 3 * 2, 0); }},
};

using SizeLimits = xk::test::ReportingTest;

TEST_F(SizeLimits, EveryWrappingSizeIsRefusedBeforeAnythingIsAllocated) {
    for (const Row &row : kRows) {
        SCOPED_TRACE(row.call);
        capture.clear();
        size_t blocks_before = xk::fault::live_blocks();
        xk::fault::arm(Call::malloc_family, LONG_MAX, ENOMEM);  // counts allocation calls, fails none
        uint32_t got = row.run();
        long allocations = xk::fault::seen(Call::malloc_family);
        xk::fault::disarm_all();
        EXPECT_EQ(got, row.expected);
        EXPECT_EQ(allocations, 0);
        EXPECT_EQ(xk::fault::live_blocks(), blocks_before);
        if (row.traced) {
            ASSERT_FALSE(traces().empty());
            EXPECT_EQ(traces().front().status, row.expected);
        } else {
            EXPECT_TRUE(traces().empty());
        }
        ASSERT_EQ(lines().size(), row.log[0] == '\0' ? 0u : 1u);
        if (!lines().empty()) {
            EXPECT_EQ(lines()[0].text, row.log);
        }
    }
}

// Sizing formats the whole text, seconds of work for 2^31 - 1 characters: run natively only.
TEST_F(SizeLimits, ATextOfInt32MaxCharactersCannotBeSized) {
    const char *emulated = getenv("XK_UNDER_EMULATOR");
    if (emulated != nullptr && emulated[0] == '1') GTEST_SKIP() << "too slow under emulation";
    int size = 0;
    EXPECT_EQ(vsize(&size, "%*s", INT32_MAX, ""), XK_ERR_SYSTEM);
    EXPECT_EQ(size, INT32_MAX);  // the formatter's count, as after any refused sizing
    EXPECT_EQ(traces().size(), 1u);
    EXPECT_TRUE(lines().empty());
}

}  // namespace
