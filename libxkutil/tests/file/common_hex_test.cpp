#include "support/capture.h"
#include "xk/hex.h"

using HexStreamTest = xk::test::ReportingTest;

// Two lower-case digits per byte, no separators, no newline, across the stream's buffer.
TEST_F(HexStreamTest, PrintsPairsAndRefusesNulls) {
    uint8_t data[5000];
    std::string model, chain;
    for (size_t i = 0; i < sizeof data; ++i)
        model += {"0123456789abcdef"[(data[i] = static_cast<uint8_t>(i * 7)) >> 4],
                  "0123456789abcdef"[data[i] & 0xF]};
    testing::internal::CaptureStdout();
    EXPECT_EQ(xk_util_printf_bytes(data, 0) + xk_util_printf_bytes(data, sizeof data), XK_OK);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), model);
    for (xk_util_status st : {xk_util_fprintf_bytes(nullptr, data, 1),
                              xk_util_fprintf_bytes(stdout, nullptr, 1), xk_util_printf_bytes(nullptr, 1)})
        chain += std::to_string(st);
    for (const auto &r : traces()) chain += "; " + r.func.substr(8) + " " + r.file;
    EXPECT_EQ(chain + "; " + std::to_string(lines().size()) + " lines",
              "333; fprintf_bytes src/file/common; fprintf_bytes src/file/common; printf_bytes "
              "src/file/common; 0 lines");
}
