// SPDX-License-Identifier: MIT
#include "support/capture.h"

// Thin wrappers over the C library (the copies are checked with the allocation faults): their
// argument order, bounds and nulls.
TEST(PrimitivesTest, FreeBoundedStringsAndLines) {
    void *block = malloc(8);
    xk_util_free(&block), xk_util_free(&block), xk_util_free(nullptr);  // then nothing left to free
    char dst[6] = "xxxxx", text[] = "one\ntwo", *line = nullptr;
    size_t cap = 0;
    FILE *stream = fmemopen(text, 7, "r");
    const ssize_t got = xk_util_getline(stream, &line, &cap);  // the stream comes first
    EXPECT_EQ(std::to_string(got) + line + xk_util_strncpy(dst, "abcd", 4), "4one\nabcdx");  // no terminator
    EXPECT_TRUE(block == nullptr && xk_util_memdup(nullptr, 4) == nullptr &&
                xk_util_memdup0(nullptr, 4) == nullptr && xk_util_strnlen("abcdef", 4) == 4 &&
                xk_util_strcasecmp("Hello", "hELLO") == 0 &&
                xk_util_memmem("xxneedlexx", 7, "needle", 6) == nullptr);  // bounded by the haystack's length
    free(line), fclose(stream);
}
