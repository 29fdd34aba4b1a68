/* SPDX-License-Identifier: MIT */
// Defines xk_trace_save itself: the library's trace calls must reach this definition.
#include <stdint.h>
#include <string.h>

#include "xk/xkutil.h"

static char traced[64];
static int calls;

void xk_trace_save(const char *func, const char *file, int line, uint32_t status) {
    (void)file, (void)line, ++calls;
    if (traced[0] == '\0' && status == XK_ERR_NULL_ARG) strncpy(traced, func, sizeof traced - 1);
}

int main(void) {
    xk_util_status st = xk_util_asprintf(NULL, NULL, "%d", 1);
    return st == XK_ERR_NULL_ARG && calls == 1 && strcmp(traced, "xk_util_vasprintf") == 0 ? 0 : 1;
}
