/* SPDX-License-Identifier: MIT */
// Process services the library keeps to itself: lookup by command name and the statistics
// of /proc/<pid>/stat. Hidden from the shared object; tests reach them through the static library.
#ifndef XK_INTERNAL_PROCESS_H
#define XK_INTERNAL_PROCESS_H

#include <dirent.h>
#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

#include "xk/status.h"

// Counts the processes whose argv[0] equals name (exact == 1) or contains it (any other
// exact), in /proc text order. *pids_out (optional) receives a malloc'd array with one slot per
// candidate, the first *count_out holding the matches; the caller frees it.
// XK_ERR_NULL_ARG for a NULL name, XK_ERR_SYSTEM, XK_ERR_NOMEM.
xk_util_status xk_util_pid_of(const char *name, int exact, unsigned int **pids_out, unsigned int *count_out);

// scandir filter: 1 for a numeric /proc directory whose cmdline can be opened, else 0.
int vet_possible_directory(const struct dirent *entry);

// The first 42 fields of a /proc/<pid>/stat line, in the line's order (field 2, the command
// name, is not kept). The conversions match the sscanf directives used for each field.
typedef struct xk_util_proc_stat_record {
    int32_t pid;
    char state;
    int32_t ppid;
    int32_t pgrp;
    int32_t session;
    int32_t tty_nr;
    int32_t tpgid;
    uint32_t flags;
    unsigned long minflt;
    unsigned long cminflt;
    unsigned long majflt;
    unsigned long cmajflt;
    unsigned long utime;
    unsigned long stime;
    unsigned long cutime;  // fields 16 to 21 are signed on the line: two's complement here
    unsigned long cstime;
    unsigned long priority;
    unsigned long nice;
    unsigned long num_threads;
    unsigned long itrealvalue;
    unsigned long long starttime;
    unsigned long vsize;
    long rss;
    unsigned long rsslim;
    unsigned long startcode;
    unsigned long endcode;
    unsigned long startstack;
    unsigned long kstkesp;
    unsigned long kstkeip;
    unsigned long signal;
    unsigned long blocked;
    unsigned long sigignore;
    unsigned long sigcatch;
    unsigned long wchan;
    unsigned long nswap;
    unsigned long cnswap;
    int32_t exit_signal;
    int32_t processor;
    uint32_t rt_priority;
    uint32_t policy;
    unsigned long long delayacct_blkio_ticks;
} xk_util_proc_stat_record;

// Fills *ret_proc_stat from /proc/<pid>/stat, or /proc/self/stat for pid 0.
// XK_ERR_NULL_ARG, XK_ERR_NOT_FOUND (no such process), XK_ERR_READ, XK_ERR_SYSTEM (short line).
xk_util_status xk_util_proc_stat(xk_util_proc_stat_record *ret_proc_stat, int pid);

// The body of xk_util_proc_stat for a stat line in any file; reports under that function's
// name. Lets tests feed lines the kernel would not write.
xk_util_status xk_util_proc_stat_from_file(xk_util_proc_stat_record *ret_proc_stat, const char *path);

// The parse of one stat line held in memory: line[0..len) is the text and line[len] must be a
// writable NUL. The line is cut into tokens in place. Clears *ret_proc_stat first; reports under
// the name xk_util_proc_stat. XK_ERR_NULL_ARG, XK_ERR_SYSTEM (fewer than 42 tokens).
xk_util_status xk_util_proc_stat_from_line(xk_util_proc_stat_record *ret_proc_stat, char *line, size_t len);

// Polls the child pid at once and then once a second; at the first poll after `seconds` from
// now it sends SIGKILL and returns XK_ERR_TIMEOUT. XK_ERR_SYSTEM when the poll fails.
xk_util_status xk_util_await_child_timeout(pid_t pid, int seconds);

#endif
