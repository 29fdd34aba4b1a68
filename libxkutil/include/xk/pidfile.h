/* SPDX-License-Identifier: MIT */
/** @file
 * Pid files that keep a program from running twice.
 *
 * @code
 * unsigned int owner = 0;
 * xk_util_status st = xk_util_claim_pid_file("/run/app.pid", "app", &owner);
 * if (st == XK_ERR_ALREADY_RUNNING) fprintf(stderr, "already running as %u", owner);
 * if (st != XK_OK) return 1;
 * @endcode */
#ifndef XK_PIDFILE_H
#define XK_PIDFILE_H

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Claims the pid file at path: creates it (mode 0664 less umask), or locks it and writes our pid
 * unless it names a live process whose command line starts with exe_name.
 * @param path the pid file
 * @param exe_name the program's name, at most 100 bytes
 * @param pid_out receives the live owner's pid with XK_ERR_ALREADY_RUNNING
 * @return XK_OK, XK_ERR_ALREADY_RUNNING, XK_ERR_NULL_ARG, XK_ERR_ACCESS, XK_ERR_INVALID,
 *         XK_ERR_SYSTEM, XK_ERR_NOMEM */
XK_API xk_util_status xk_util_claim_pid_file(const char *path, const char *exe_name, unsigned int *pid_out);

#ifdef __cplusplus
}
#endif

#endif
