#include "support/capture.h"
#include "xk/memory.h"

// Thin wrappers: their argument order, bounds and nulls.
TEST(PrimitivesTest, FreeCopiesBoundedStringsAndLines) {
    void *block = malloc(8);
    xk_util_free(&block), xk_util_free(&block), xk_util_free(nullptr);  // then nothing left to free
    char dst[6] = "xxxxx", text[] = "one\ntwo", *line = nullptr,
         *copy = static_cast<char *>(xk_util_memdup0("a\0b", 3));
    EXPECT_EQ(std::string(copy, 4) + xk_util_strncpy(dst, "abcd", 4),
              std::string("a\0b\0abcdx", 9));  // no terminator
    EXPECT_TRUE(block == nullptr && xk_util_memdup(nullptr, 4) == nullptr &&
                xk_util_memdup0(nullptr, 4) == nullptr && xk_util_strnlen("abcdef", 4) == 4 &&
                xk_util_strcasecmp("Hello", "hELLO") == 0 &&
                xk_util_memmem("xxneedlexx", 7, "needle", 6) == nullptr);
    size_t cap = 0;
    FILE *stream = fmemopen(text, 7, "r");
    EXPECT_EQ(xk_util_getline(stream, &line, &cap), 4);  // the stream comes first
    EXPECT_STREQ(line, "one\n");
    free(line), free(copy), fclose(stream);
}
