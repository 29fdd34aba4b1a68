#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "fault/driver.h"
#include "fault/expect.h"
#include "support/capture.h"
#include "xk/base64.h"
#include "xk/bits.h"
#include "xk/sum.h"

namespace {

using namespace xk::fault;

using EncodingFaults = xk::test::ReportingTest;

TEST_F(EncodingFaults, Base64ConvertersHandBackNullAndTheComputedLength) {
    const uint8_t data[] = {'h', 'e', 'l', 'l', 'o'};
    long points = drive_allocations(
        [&] {
            char *text = reinterpret_cast<char *>(1);
            size_t len = 0;
            xk_util_status st = xk_util_base64_encode(data, sizeof data, &text, &len);
            EXPECT_EQ(len, 8u);
            if (st != XK_OK) {
                EXPECT_EQ(st, XK_ERR_NOMEM);
                EXPECT_EQ(text, nullptr);
                return false;
            }
            EXPECT_EQ(std::string(text, len), "aGVsbG8=");
            free(text);
            return true;
        },
        [&](long) {});
    EXPECT_EQ(points, 1);

    size_t expected_len = 0;
    points = drive_allocations(
        [&] {
            uint8_t *bytes = reinterpret_cast<uint8_t *>(1);
            size_t len = 0;
            xk_util_status st = xk_util_base64_decode("aGVsbG8=", 8, &bytes, &len);
            if (st != XK_OK) {
                EXPECT_EQ(st, XK_ERR_NOMEM);
                EXPECT_EQ(bytes, nullptr);
                expected_len = len;
                return false;
            }
            EXPECT_EQ(std::string(reinterpret_cast<char *>(bytes), len), "hello");
            free(bytes);
            return true;
        },
        [&](long) { EXPECT_EQ(expected_len, 6u); });
    EXPECT_EQ(points, 1);
    // Neither converter traces or logs, even when it fails.
    EXPECT_TRUE(traces().empty());
    EXPECT_TRUE(lines().empty());
}

TEST_F(EncodingFaults, BitStringAllocationFailuresKeepTheLengthAndLog) {
    const uint8_t source[] = {0xA5, 0x01};
    struct Case {
        const char *func;
        size_t len;
        xk_util_status (*run)(const uint8_t *, uint8_t **, size_t *);
    };
    const Case cases[] = {
        {"xk_util_map_bitstring_to_bytes", 16,
         [](const uint8_t *s, uint8_t **o, size_t *l) { return xk_util_map_bitstring_to_bytes(s, 2, o, l); }},
        {"xk_util_expand_byte_array", 6,
         [](const uint8_t *s, uint8_t **o, size_t *l) { return xk_util_expand_byte_array(s, 2, 3, o, l); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.func);
        uint8_t *out = nullptr;
        size_t len = 0;
        long points = drive_allocations(
            [&] {
                capture.clear();
                out = reinterpret_cast<uint8_t *>(1);
                len = 0;
                if (c.run(source, &out, &len) != XK_OK) return false;
                free(out);
                return true;
            },
            [&](long) {
                EXPECT_EQ(out, nullptr);
                EXPECT_EQ(len, c.len);
                EXPECT_EQ(chain(traces()), (Chain{{c.func, XK_ERR_NOMEM}}));
                EXPECT_EQ(texts(lines()), (Texts{"Memory allocation failed"}));
            });
        EXPECT_EQ(points, 1);
    }
}

TEST_F(EncodingFaults, SumInitLeavesTheRecordButTheBucketsAsTheyWere) {
    xk_util_sum sum;
    long points = drive_allocations(
        [&] {
            capture.clear();
            memset(&sum, 0, sizeof sum);
            sum.n = 3;
            sum.pos = 1;
            sum.window = 2.5;
            sum.total = 7.5;
            sum.buckets = reinterpret_cast<double *>(8);
            if (xk_util_sum_init(&sum, 4) != XK_OK) return false;
            xk_util_sum_free(&sum);
            return true;
        },
        [&](long) {
            EXPECT_EQ(sum.buckets, nullptr);
            EXPECT_EQ(sum.n, 3u);
            EXPECT_EQ(sum.pos, 1u);
            EXPECT_EQ(sum.window, 2.5);
            EXPECT_EQ(sum.total, 7.5);
            EXPECT_EQ(chain(traces()), (Chain{{"xk_util_sum_init", XK_ERR_NOMEM}}));
            EXPECT_EQ(texts(lines()), (Texts{"calloc() failed, N=4"}));
        });
    EXPECT_EQ(points, 1);
}

}  // namespace
