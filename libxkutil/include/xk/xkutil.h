/** @file
 * libxkutil: every public header. */
#ifndef XK_XKUTIL_H
#define XK_XKUTIL_H

#include "xk/status.h"
#include "xk/memory.h"
#include "xk/format.h"

#endif
