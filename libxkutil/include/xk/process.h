/** @file
 * Child processes and signal dispositions. */
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
 * execve fails exits with 1). *handle_out receives the new handle, NULL on failure.
 * XK_ERR_NULL_ARG, XK_ERR_NOMEM, XK_ERR_SYSTEM. */
XK_API xk_util_status xk_spawn(char *const argv[], char *const envp[], xk_proc_handle **handle_out);

/** Waits for the child; *exit_status is its exit code 0..255, or -1 when a signal ended it.
 * On success the handle is freed and *handle set to NULL; after a failed wait it stays.
 * XK_ERR_NULL_ARG, XK_ERR_SYSTEM. */
XK_API xk_util_status xk_wait(xk_proc_handle **handle, int *exit_status);

/** xk_spawn then xk_wait; the handle never reaches the caller. Statuses as the two calls. */
XK_API xk_util_status xk_spawn_and_wait(char *const argv[], char *const envp[], int *exit_status);

/** Frees the handle and sets *handle to NULL without waiting for or signalling the child.
 * A NULL handle or *handle does nothing. */
XK_API void xk_free_proc_handle(xk_proc_handle **handle);

/** sleep(seconds): the seconds left when a signal handler cut the sleep short, else 0.
 * Never fails. */
XK_API unsigned int xk_util_sleep(unsigned int seconds);

/** Ignores signal sig (1..31) for the whole process. SIGKILL, SIGTERM, SIGSTOP and numbers outside 1..31 are
 * left alone and give XK_OK. XK_ERR_SYSTEM when sigaction fails. */
XK_API xk_util_status xk_util_ignore_signal(int sig);

/** Ignores the 28 signals 1..31 other than SIGKILL, SIGTERM and SIGSTOP; a failure does not
 * stop the others. Process-wide. XK_ERR_SYSTEM when any failed. */
XK_API xk_util_status xk_util_ignore_common_signals(void);

/** Gives signal sig (1..31) its default action, process-wide. XK_ERR_INVALID outside 1..31, XK_ERR_SYSTEM
 * when sigaction refuses (SIGKILL, SIGSTOP). */
XK_API xk_util_status xk_util_reset_signal(int sig);

#ifdef __cplusplus
}
#endif

#endif
