/* SPDX-License-Identifier: MIT */
#ifndef XK_INTERNAL_FORMAT_FILL_H
#define XK_INTERNAL_FORMAT_FILL_H

#include <stdarg.h>
#include <stddef.h>

namespace xk {

// vsnprintf on a fresh copy of ap, so the caller's list can be used again.
int format_fill(char *buf, size_t size, const char *format, va_list ap);

}  // namespace xk

#endif
