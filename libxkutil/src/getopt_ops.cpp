// SPDX-License-Identifier: MIT
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "internal/guards.h"
#include "internal/report.h"
#include "xk/memory.h"
#include "xk/options.h"

namespace {
constexpr const char *kSource = "src/getopt_ops";

static_assert(offsetof(xk_util_option, short_name) == 0);
static_assert(offsetof(xk_util_option, long_name) == 1);
static_assert(sizeof(xk_util_option::long_name) == 31);
static_assert(offsetof(xk_util_option, handler) == 32);
static_assert(offsetof(xk_util_option, dest) == 40);
static_assert(offsetof(xk_util_option, has_value) == 48);
static_assert(sizeof(xk_util_option) == 56);

constexpr size_t kMaxValueLength = 300;

// Values are measured only up to one past the limit, whatever their real length.
bool value_too_long(const char *value) {
    return xk_util_strnlen(value, kMaxValueLength + 1) > kMaxValueLength;
}

xk_util_option *find_short(xk_util_option *table, int n, char name) {
    for (int k = 0; k < n; ++k)
        if (table[k].short_name == name) return &table[k];
    return nullptr;
}

// Exact byte comparison. The comparison never reads past the 31-byte field, so a long name
// that fills it without a terminator is matched by all 31 bytes.
xk_util_option *find_long(xk_util_option *table, int n, const char *name) {
    for (int k = 0; k < n; ++k) {
        size_t len = xk_util_strnlen(table[k].long_name, sizeof table[k].long_name);
        if (strncmp(table[k].long_name, name, len) == 0 && name[len] == '\0') return &table[k];
    }
    return nullptr;
}

// Runs the option found at argv[*index] and moves *index past it and its value.
xk_util_status process_option(xk_util_option *option, char **argv, int argc, int *index) {
    int i = *index;
    const char *value = nullptr;
    int step = 1;
    if (option->has_value != 0) {
        if (i + 1 >= argc)
            return xk::report::error(__func__, kSource, __LINE__, XK_ERR_SYSTEM,
                                     "Missing mandatory option\n");
        value = argv[i + 1];
        step = 2;
    }
    uint32_t used = 0;  // the handler's count is not relied on: the step is known here
    xk_util_status st = option->handler(option, value, &used);
    if (st != XK_OK) return xk::report::pass(__func__, kSource, __LINE__, st);
    *index = i + step;
    return XK_OK;
}
}  // namespace

extern "C" {

xk_util_status xk_util_getopt(int argc, char **argv, xk_util_option *table, int n) {
    using namespace xk;
    if (table == nullptr || argv == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    if (argc <= 0 || n <= 0) return report::trace(__func__, kSource, __LINE__, XK_ERR_INVALID);
    return xk_util_getopt_from(argc, argv, table, n, 1);
}

xk_util_status xk_util_getopt_from(int argc, char **argv, xk_util_option *table, int n, int start) {
    using namespace xk;
    if (table == nullptr || argv == nullptr) return report::null_arg(__func__, kSource, __LINE__);
    if (argc <= 0 || n <= 0 || start < 0) return report::trace(__func__, kSource, __LINE__, XK_ERR_INVALID);
    int i = start;
    while (i < argc) {
        const char *arg = argv[i];
        size_t len = xk_util_strnlen(arg, 3);  // 3 stands for three or more
        xk_util_option *option = nullptr;
        if (len >= 2 && (arg[0] == '-' || arg[0] == '/')) {
            if (len == 2)
                option = find_short(table, n, arg[1]);
            else
                option = find_long(table, n, arg[1] == '-' ? arg + 2 : arg + 1);
        }
        if (option == nullptr) {
            ++i;
            continue;
        }
        xk_util_status st = process_option(option, argv, argc, &i);
        if (st != XK_OK) return report::pass(__func__, kSource, __LINE__, st);
    }
    return XK_OK;
}

xk_util_status xk_util_getopt_string(xk_util_option *option, const char *value, uint32_t *count) {
    using namespace xk;
    if (option == nullptr || value == nullptr || count == nullptr || option->dest == nullptr)
        return report::null_arg(__func__, kSource, __LINE__);
    char **dest = static_cast<char **>(option->dest);
    if (*dest != nullptr) return report::trace(__func__, kSource, __LINE__, XK_ERR_INVALID);
    if (value_too_long(value)) return report::trace(__func__, kSource, __LINE__, XK_ERR_INVALID);
    size_t len = strlen(value);
    MallocGuard<char> copy(static_cast<char *>(calloc(1, len + 1)));
    if (!copy) return report::trace(__func__, kSource, __LINE__, XK_ERR_NOMEM);
    memcpy(copy.get(), value, len);
    *dest = copy.release();
    *count = 2;
    return XK_OK;
}

xk_util_status xk_util_getopt_int(xk_util_option *option, const char *value, uint32_t *count) {
    using namespace xk;
    if (option == nullptr || value == nullptr || count == nullptr || option->dest == nullptr)
        return report::null_arg(__func__, kSource, __LINE__);
    if (value_too_long(value)) return report::trace(__func__, kSource, __LINE__, XK_ERR_INVALID);
    int number = 0;
    if (sscanf(value, "%d", &number) != 1) return report::trace(__func__, kSource, __LINE__, XK_ERR_INVALID);
    *static_cast<int *>(option->dest) = number;
    *count = 2;
    return XK_OK;
}

xk_util_status xk_util_getopt_flag(xk_util_option *option, const char *value, uint32_t *count) {
    using namespace xk;
    (void)value;
    if (option == nullptr || count == nullptr || option->dest == nullptr)
        return report::null_arg(__func__, kSource, __LINE__);
    if (option->has_value != 0) return report::trace(__func__, kSource, __LINE__, XK_ERR_INVALID);
    *static_cast<int *>(option->dest) = 1;
    *count = 1;
    return XK_OK;
}

}  // extern "C"
