// SPDX-License-Identifier: MIT
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "internal/checked.h"
#include "xk/memory.h"

extern "C" {

void xk_util_free(void **p) {
    if (p == nullptr) return;
    free(*p);
    *p = nullptr;
}

ssize_t xk_util_getline(FILE *stream, char **lineptr, size_t *n) { return getline(lineptr, n, stream); }

size_t xk_util_strnlen(const char *s, size_t maxlen) { return strnlen(s, maxlen); }

char *xk_util_strndup(const char *s, size_t n) { return strndup(s, n); }

char *xk_util_strncpy(char *dst, const char *src, size_t n) {
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wstringop-truncation"
#endif
    return strncpy(dst, src, n);
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
}

void *xk_util_memmem(const void *haystack, size_t haystack_len, const void *needle, size_t needle_len) {
    return memmem(haystack, haystack_len, needle, needle_len);
}

void *xk_util_memdup(const void *src, size_t size) {
    if (src == nullptr) return nullptr;
    void *copy = calloc(1, size);
    if (copy == nullptr) return nullptr;
    memcpy(copy, src, size);
    return copy;
}

void *xk_util_memdup0(const void *src, size_t size) {
    if (src == nullptr) return nullptr;
    size_t block = 0;
    if (!xk::checked::add(size, size_t{1}, &block)) return nullptr;  // no block of SIZE_MAX + 1 bytes
    void *copy = calloc(1, block);
    if (copy == nullptr) return nullptr;
    memcpy(copy, src, size);
    return copy;
}

int xk_util_strcasecmp(const char *a, const char *b) { return strcasecmp(a, b); }

}  // extern "C"
