/* Defines xk_trace_save itself: the library's trace calls must reach this definition. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "xk/xkutil.h"

static int calls;
static char last_func[64];
static uint32_t last_status;

void xk_trace_save(const char *func, const char *file, int line, uint32_t status) {
    (void)file;
    (void)line;
    ++calls;
    snprintf(last_func, sizeof last_func, "%s", func);
    last_status = status;
}

int main(void) {
    xk_util_status st = xk_util_asprintf(NULL, NULL, "%d", 1);
    if (st != XK_ERR_NULL_ARG || calls != 1 || strcmp(last_func, "xk_util_vasprintf") != 0 ||
        last_status != XK_ERR_NULL_ARG) {
        fprintf(stderr, "status %u, calls %d, func '%s', traced %u\n", st, calls, last_func, last_status);
        return 1;
    }
    printf("trace call reached the program's own xk_trace_save\n");
    return 0;
}
