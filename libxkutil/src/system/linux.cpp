// SPDX-License-Identifier: MIT
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "internal/guards.h"
#include "internal/process.h"
#include "internal/report.h"
#include "xk/system.h"

namespace {
constexpr const char *kSource = "src/system/linux";
constexpr const char *kProcStat = "xk_util_proc_stat";
constexpr int kStatFields = 42;
constexpr size_t kPathBuffer = 128;

// Converts token `field` (1-based, the line's numbering) into its record field.
void convert_field(xk_util_proc_stat_record *r, int field, const char *text) {
    switch (field) {
        case 1: sscanf(text, "%d", &r->pid); break;
        case 2: break;  // the command name is not kept
        case 3: sscanf(text, "%c", &r->state); break;
        case 4: sscanf(text, "%d", &r->ppid); break;
        case 5: sscanf(text, "%d", &r->pgrp); break;
        case 6: sscanf(text, "%d", &r->session); break;
        case 7: sscanf(text, "%d", &r->tty_nr); break;
        case 8: sscanf(text, "%d", &r->tpgid); break;
        case 9: sscanf(text, "%u", &r->flags); break;
        case 10: sscanf(text, "%lu", &r->minflt); break;
        case 11: sscanf(text, "%lu", &r->cminflt); break;
        case 12: sscanf(text, "%lu", &r->majflt); break;
        case 13: sscanf(text, "%lu", &r->cmajflt); break;
        case 14: sscanf(text, "%lu", &r->utime); break;
        case 15: sscanf(text, "%lu", &r->stime); break;
        case 16: sscanf(text, "%lu", &r->cutime); break;
        case 17: sscanf(text, "%lu", &r->cstime); break;
        case 18: sscanf(text, "%lu", &r->priority); break;
        case 19: sscanf(text, "%lu", &r->nice); break;
        case 20: sscanf(text, "%lu", &r->num_threads); break;
        case 21: sscanf(text, "%lu", &r->itrealvalue); break;
        case 22: sscanf(text, "%llu", &r->starttime); break;
        case 23: sscanf(text, "%lu", &r->vsize); break;
        case 24: sscanf(text, "%ld", &r->rss); break;
        case 25: sscanf(text, "%lu", &r->rsslim); break;
        case 26: sscanf(text, "%lu", &r->startcode); break;
        case 27: sscanf(text, "%lu", &r->endcode); break;
        case 28: sscanf(text, "%lu", &r->startstack); break;
        case 29: sscanf(text, "%lu", &r->kstkesp); break;
        case 30: sscanf(text, "%lu", &r->kstkeip); break;
        case 31: sscanf(text, "%lu", &r->signal); break;
        case 32: sscanf(text, "%lu", &r->blocked); break;
        case 33: sscanf(text, "%lu", &r->sigignore); break;
        case 34: sscanf(text, "%lu", &r->sigcatch); break;
        case 35: sscanf(text, "%lu", &r->wchan); break;
        case 36: sscanf(text, "%lu", &r->nswap); break;
        case 37: sscanf(text, "%lu", &r->cnswap); break;
        case 38: sscanf(text, "%d", &r->exit_signal); break;
        case 39: sscanf(text, "%d", &r->processor); break;
        case 40: sscanf(text, "%u", &r->rt_priority); break;
        case 41: sscanf(text, "%u", &r->policy); break;
        case 42: sscanf(text, "%llu", &r->delayacct_blkio_ticks); break;
        default: break;
    }
}

// Where the command-name token ends. The kernel writes the name in parentheses and the name
// may itself hold blanks or parentheses, so it runs to the last ')' of the line: the fields
// after it then keep their places. A token without '(' ends at the first blank like any other.
size_t command_name_end(const char *line, size_t start, size_t len) {
    if (start >= len || line[start] != '(') return start;
    size_t close = len;
    for (size_t k = start; k < len; ++k)
        if (line[k] == ')') close = k;
    return close == len ? start : close;
}

}  // namespace

extern "C" {

int64_t xk_util_tid(void) { return static_cast<int64_t>(syscall(SYS_gettid)); }

}  // extern "C"

xk_util_status xk_util_proc_stat_from_file(xk_util_proc_stat_record *ret_proc_stat, const char *path) {
    using namespace xk;
    const char *func = kProcStat;
    if (ret_proc_stat == nullptr)
        return report::error(func, kSource, __LINE__, XK_ERR_NULL_ARG, "ret_proc_stat is NULL");
    memset(ret_proc_stat, 0, sizeof *ret_proc_stat);
    FileGuard stream(fopen(path, "r"));
    if (!stream) return report::trace(func, kSource, __LINE__, XK_ERR_NOT_FOUND);
    MallocGuard<char> line;
    size_t capacity = 0;
    errno = 0;  // so that an empty file reports a stable reason
    ssize_t got = getline(line.out(), &capacity, stream.get());
    if (got == -1)
        return report::sys_status(func, kSource, __LINE__, XK_ERR_READ, errno, nullptr, "getline() failed");
    stream.close();
    return xk_util_proc_stat_from_line(ret_proc_stat, line.get(), static_cast<size_t>(got));
}

xk_util_status xk_util_proc_stat_from_line(xk_util_proc_stat_record *ret_proc_stat, char *line, size_t len) {
    using namespace xk;
    const char *func = kProcStat;
    if (ret_proc_stat == nullptr)
        return report::error(func, kSource, __LINE__, XK_ERR_NULL_ARG, "ret_proc_stat is NULL");
    memset(ret_proc_stat, 0, sizeof *ret_proc_stat);
    if (line == nullptr) return report::trace(func, kSource, __LINE__, XK_ERR_NULL_ARG);
    size_t scan = len + 1;  // the terminating NUL lies inside the scan
    size_t start = 0;
    for (int field = 1; field <= kStatFields; ++field) {
        size_t j = field == 2 ? command_name_end(line, start, scan) : start;
        while (j < scan && line[j] != ' ' && line[j] != '\0') ++j;
        if (j == scan)
            return report::error(func, kSource, __LINE__, XK_ERR_SYSTEM,
                                 "Parsing logic failed, j=%zu, len=%zu\n", j, scan);
        line[j] = '\0';
        convert_field(ret_proc_stat, field, line + start);
        start = j + 1;
    }
    return XK_OK;
}

xk_util_status xk_util_proc_stat(xk_util_proc_stat_record *ret_proc_stat, int pid) {
    using namespace xk;
    if (ret_proc_stat == nullptr)
        return report::error(__func__, kSource, __LINE__, XK_ERR_NULL_ARG, "ret_proc_stat is NULL");
    char path[kPathBuffer];
    if (pid == 0)
        strncpy(path, "/proc/self/stat", sizeof path);
    else
        snprintf(path, sizeof path, "/proc/%d/stat", pid);
    return xk_util_proc_stat_from_file(ret_proc_stat, path);
}
