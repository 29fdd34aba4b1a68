/* SPDX-License-Identifier: MIT */
/* Formats a line with libxkutil and reads back the trace of a refused call. */
#include <stdio.h>
#include <stdlib.h>

#include "xk/errortrace.h"
#include "xk/xkutil.h"

int main(void) {
    char *text = NULL;
    if (xk_util_asprintf(&text, NULL, "%s %d.%d", "xkutil", 1, 0) != XK_OK) return 1;
    printf("consumer linked against %s\n", text);
    free(text);

    xk_trace_clear();
    if (xk_util_asprintf(NULL, NULL, "x") != XK_ERR_NULL_ARG) return 1;
    xk_trace_record record;
    if (xk_trace_count() != 1 || xk_trace_get(0, &record) != 0) return 1;
    printf("a refused call leaves one trace record: %s status %u\n", record.func, record.status);
    return 0;
}
