#include "support/capture.h"
#include "xk/memory.h"

TEST(PrimitivesTest, FreeCopiesBoundedStringsAndLines) {
    void *block = malloc(8);
    xk_util_free(&block);
    xk_util_free(&block);  // the second call has nothing left to free
    xk_util_free(nullptr);
    EXPECT_EQ(block, nullptr);
    EXPECT_TRUE(xk_util_memdup(nullptr, 4) == nullptr && xk_util_memdup0(nullptr, 4) == nullptr);
    char *copies[] = {static_cast<char *>(xk_util_memdup("a\0b", 3)),
                      static_cast<char *>(xk_util_memdup0("abcdef", 3)), xk_util_strndup("abcdef", 3)};
    EXPECT_EQ(std::string(copies[0], 3) + std::string(copies[1], 4) + copies[2],
              std::string("a\0babc\0abc", 10));
    for (char *copy : copies) free(copy);
    char dst[6] = "xxxxx";
    EXPECT_STREQ(xk_util_strncpy(dst, "abcd", 4), "abcdx");  // n characters: no terminator
    EXPECT_EQ(std::string(xk_util_strncpy(dst, "ab", 5), 5), std::string("ab\0\0\0", 5));
    EXPECT_TRUE(xk_util_strnlen("abcdef", 4) == 4 && xk_util_strnlen("ab", 4) == 2);
    EXPECT_TRUE(xk_util_strcasecmp("Hello", "hELLO") == 0 && xk_util_strcasecmp("apple", "Banana") < 0);
    const char hay[] = "xxneedlexx";
    EXPECT_EQ(xk_util_memmem(hay, 10, "needle", 6), hay + 2);
    EXPECT_EQ(xk_util_memmem(hay, 7, "needle", 6), nullptr);  // bounded by the haystack's length
    char text[] = "one\ntwo", *line = nullptr;
    size_t cap = 0;
    FILE *stream = fmemopen(text, 7, "r");
    EXPECT_EQ(xk_util_getline(stream, &line, &cap), 4);  // the stream comes first
    EXPECT_STREQ(line, "one\n");
    free(line);
    fclose(stream);
}
