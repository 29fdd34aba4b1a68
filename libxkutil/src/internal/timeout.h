/* SPDX-License-Identifier: MIT */
// Deadline services the library uses itself and does not export.
#ifndef XK_INTERNAL_TIMEOUT_H
#define XK_INTERNAL_TIMEOUT_H

#include <time.h>

#include "xk/status.h"

extern "C" {

// *expired = 1 once CLOCK_REALTIME has reached *deadline (equal counts as reached), else 0.
// XK_ERR_NULL_ARG, XK_ERR_SYSTEM (traced, not logged; *expired untouched).
xk_util_status xk_util_query_timeout_expired(const struct timespec *deadline, int *expired);
}

#endif
