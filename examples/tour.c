/* A short tour of libxkutil, written in C to show that the headers serve C callers. */
#include <stdio.h>
#include <stdlib.h>

#include "xk/xkutil.h"

static void tour_foundation(void) {
    char *text = NULL;
    int err = -1;
    xk_util_status st = xk_util_asprintf(&text, &err, "%s has %d families", "libxkutil", 8);
    printf("asprintf: status %u, errno %d, \"%s\"\n", st, err, text);
    xk_util_free((void **)&text);

    char small[4];
    printf("snprintf into 4 bytes: %d (cut), into 4 bytes \"ab\": %d\n", xk_util_snprintf(small, sizeof small, "%s", "abcdef"),
           xk_util_snprintf(small, sizeof small, "%s", "ab"));

    char *copy = xk_util_memdup0("abc", 3);
    printf("memdup0: \"%s\", strnlen(\"abcdef\", 4) = %zu, strcasecmp(\"XK\", \"xk\") = %d\n", copy,
           xk_util_strnlen("abcdef", 4), xk_util_strcasecmp("XK", "xk"));
    free(copy);

    st = xk_util_asprintf(NULL, NULL, "%d", 1);
    printf("asprintf with a NULL out: status %u (XK_ERR_NULL_ARG)\n", st);
}

int main(void) {
    printf("== foundation ==\n");
    tour_foundation();
    return 0;
}
