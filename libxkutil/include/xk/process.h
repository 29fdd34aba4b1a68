/* SPDX-License-Identifier: MIT */
/** @file
 * Child processes and signal dispositions.
 *
 * @code
 * char *argv[] = {"/bin/tar", "-cf", "/tmp/etc.tar", "/etc", NULL};
 * char *envp[] = {NULL};
 * int code = -1;
 * if (xk_spawn_and_wait(argv, envp, &code) == XK_OK && code == 0) puts("archived");
 * xk_util_ignore_signal(SIGPIPE);      // process-wide
 * @endcode */
#ifndef XK_PROCESS_H
#define XK_PROCESS_H

#include <sys/types.h>

#include "xk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/** A started child, malloc'd by xk_spawn. Released by a successful xk_wait or by
 * xk_free_proc_handle; one handle must not be waited on from two threads at once. */
typedef struct xk_proc_handle {
    pid_t pid; /**< the child's process id */
} xk_proc_handle;

/** Forks and runs execve(argv[0], argv, envp) in the child (no PATH search; a child whose
 * execve fails exits with 1).
 * @param argv the program's path and arguments, NULL-terminated
 * @param envp the child's environment, NULL-terminated
 * @param handle_out receives the new handle, NULL on failure
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_NOMEM, XK_ERR_SYSTEM */
XK_API xk_util_status xk_spawn(char *const argv[], char *const envp[], xk_proc_handle **handle_out);

/** Waits for the child.
 * @param handle the handle; on success it is freed and *handle set to NULL, after a failed wait
 *               it stays
 * @param exit_status receives the exit code 0..255, or -1 when a signal ended the child
 * @return XK_OK, XK_ERR_NULL_ARG, XK_ERR_SYSTEM */
XK_API xk_util_status xk_wait(xk_proc_handle **handle, int *exit_status);

/** xk_spawn then xk_wait; the handle never reaches the caller.
 * @param argv the program's path and arguments, NULL-terminated
 * @param envp the child's environment, NULL-terminated
 * @param exit_status receives the exit code 0..255, or -1 when a signal ended the child
 * @return the statuses of the two calls */
XK_API xk_util_status xk_spawn_and_wait(char *const argv[], char *const envp[], int *exit_status);

/** Frees the handle and sets *handle to NULL without waiting for or signalling the child.
 * A NULL handle or *handle does nothing.
 * @param handle the handle */
XK_API void xk_free_proc_handle(xk_proc_handle **handle);

/** sleep(seconds). Never fails.
 * @param seconds the time to sleep
 * @return the seconds left when a signal handler cut the sleep short, else 0 */
XK_API unsigned int xk_util_sleep(unsigned int seconds);

/** Ignores a signal for the whole process.
 * @param sig the signal, 1..31; SIGKILL, SIGTERM, SIGSTOP and numbers outside 1..31 are left
 *            alone and give XK_OK
 * @return XK_OK, XK_ERR_SYSTEM when sigaction fails */
XK_API xk_util_status xk_util_ignore_signal(int sig);

/** Ignores the 28 signals 1..31 other than SIGKILL, SIGTERM and SIGSTOP; a failure does not
 * stop the others. Process-wide.
 * @return XK_OK, XK_ERR_SYSTEM when any failed */
XK_API xk_util_status xk_util_ignore_common_signals(void);

/** Gives a signal its default action, process-wide.
 * @param sig the signal, 1..31
 * @return XK_OK, XK_ERR_INVALID outside 1..31, XK_ERR_SYSTEM when sigaction refuses (SIGKILL,
 *         SIGSTOP) */
XK_API xk_util_status xk_util_reset_signal(int sig);

#ifdef __cplusplus
}
#endif

#endif
