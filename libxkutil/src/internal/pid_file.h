/* SPDX-License-Identifier: MIT */
#ifndef XK_INTERNAL_PID_FILE_H
#define XK_INTERNAL_PID_FILE_H

#include <stddef.h>

#include "xk/status.h"

extern "C" {

// Reads up to max bytes of /proc/<pid_text>/cmdline into a fresh zero-filled buffer of max + 1
// bytes in *exe_out; *exe_out is NULL when the process is absent or its command line is empty.
xk_util_status map_pid_to_exe(const char *pid_text, char **exe_out, size_t max);

// Truncates the file at path and writes getpid() into it with "%u".
xk_util_status write_pid_file(const char *path);
}

#endif
