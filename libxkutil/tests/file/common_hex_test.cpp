#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "support/capture.h"
#include "xk/hex.h"

namespace {

using HexStreamTest = xk::test::ReportingTest;

std::string printed(const uint8_t *data, size_t len) {
    char *text = nullptr;
    size_t size = 0;
    FILE *stream = open_memstream(&text, &size);
    EXPECT_EQ(xk_util_fprintf_bytes(stream, data, len), XK_OK);
    fclose(stream);
    std::string out(text, size);
    free(text);
    return out;
}

TEST_F(HexStreamTest, WritesPairsWithoutSeparatorsAcrossChunks) {
    std::string big;
    uint8_t data[5000];
    for (size_t i = 0; i < sizeof data; ++i) {
        data[i] = static_cast<uint8_t>(i * 7);
        char pair[3];
        snprintf(pair, sizeof pair, "%02x", data[i]);
        big += pair;
    }
    EXPECT_EQ(printed(data, sizeof data), big);
    EXPECT_EQ(printed(data, 0), "");
    EXPECT_TRUE(traces().empty());
}

TEST_F(HexStreamTest, NullArgumentsTraceUnderTheirOwnNames) {
    const uint8_t one = 1;
    EXPECT_EQ(xk_util_fprintf_bytes(nullptr, &one, 1), XK_ERR_NULL_ARG);
    EXPECT_EQ(xk_util_fprintf_bytes(stdout, nullptr, 1), XK_ERR_NULL_ARG);
    EXPECT_EQ(traces().size(), 2u);
    capture.clear();
    EXPECT_EQ(xk_util_printf_bytes(nullptr, 1), XK_ERR_NULL_ARG);
    expect_single_trace("xk_util_printf_bytes", XK_ERR_NULL_ARG);
    EXPECT_EQ(traces()[0].file, "src/file/common");
    EXPECT_TRUE(lines().empty());
}

TEST_F(HexStreamTest, PrintsToStandardOutputWithoutNewline) {
    char path[] = "/tmp/xk_hex_stdout_XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    fflush(stdout);
    int saved = dup(STDOUT_FILENO);
    dup2(fd, STDOUT_FILENO);
    const uint8_t data[] = {0x01, 0x02};
    xk_util_status st = xk_util_printf_bytes(data, sizeof data);
    fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    char text[16] = {0};
    ssize_t n = pread(fd, text, sizeof text - 1, 0);
    close(fd);
    unlink(path);
    EXPECT_EQ(st, XK_OK);
    EXPECT_EQ(n, 4);
    EXPECT_STREQ(text, "0102");
}

}  // namespace
