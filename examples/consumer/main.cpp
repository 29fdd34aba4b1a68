// SPDX-License-Identifier: MIT
// Uses the installed C++ layer: it must compile against the installed headers alone.
#include <stdio.h>

#include "xk/xkutil.hpp"

int main() {
    auto joined = xk::join({"xkutil", "hpp"}, ".");
    if (!joined.ok()) return 1;
    xk::StrBuf text;
    if (!text.valid() || text.append_f("C++ consumer: %s", joined.value.c_str()) < 0) return 1;
    puts(text.str().c_str());
    return 0;
}
