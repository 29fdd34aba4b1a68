/* SPDX-License-Identifier: MIT */
/** @file
 * libxkutil: every public header. See xkutil(7) for the families, ownership and the failure trace.
 *
 * @code
 * #include "xk/xkutil.h"   // cc app.c $(pkg-config --cflags --libs xkutil)
 * @endcode */
#ifndef XK_XKUTIL_H
#define XK_XKUTIL_H

#include "xk/arith.h"
#include "xk/base64.h"
#include "xk/bits.h"
#include "xk/collection.h"
#include "xk/directory.h"
#include "xk/env.h"
#include "xk/file.h"
#include "xk/format.h"
#include "xk/hash.h"
#include "xk/hex.h"
#include "xk/memory.h"
#include "xk/options.h"
#include "xk/path.h"
#include "xk/permissions.h"
#include "xk/pidfile.h"
#include "xk/process.h"
#include "xk/random.h"
#include "xk/status.h"
#include "xk/strbuf.h"
#include "xk/strings.h"
#include "xk/sum.h"
#include "xk/system.h"
#include "xk/time.h"
#include "xk/wide.h"

#endif
