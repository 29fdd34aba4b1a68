#include "support/capture.h"
#include "xk/hex.h"

using HexStreamTest = xk::test::ReportingTest;

// Two lower-case digits per byte, no separators, no newline, across the stream's buffer.
TEST_F(HexStreamTest, PrintsPairsAndRefusesNulls) {
    uint8_t data[5000];
    std::string model;
    for (size_t i = 0; i < sizeof data; ++i) {
        data[i] = static_cast<uint8_t>(i * 7);
        model += {"0123456789abcdef"[data[i] >> 4], "0123456789abcdef"[data[i] & 0xF]};
    }
    for (size_t len : {size_t{0}, size_t{2}, sizeof data}) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(xk_util_printf_bytes(data, len), XK_OK);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), model.substr(0, 2 * len));
    }
    const std::vector<xk_util_status> refused = {xk_util_fprintf_bytes(nullptr, data, 1),
                                                 xk_util_fprintf_bytes(stdout, nullptr, 1),
                                                 xk_util_printf_bytes(nullptr, 1)};
    EXPECT_EQ(refused, std::vector<xk_util_status>(3, XK_ERR_NULL_ARG));
    std::string chain;
    for (const auto &r : traces()) chain += r.func + " " + r.file + "; ";
    EXPECT_EQ(chain,
              "xk_util_fprintf_bytes src/file/common; xk_util_fprintf_bytes src/file/common; "
              "xk_util_printf_bytes src/file/common; ");
    EXPECT_TRUE(lines().empty());
}
