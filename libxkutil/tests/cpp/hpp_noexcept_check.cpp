// SPDX-License-Identifier: MIT
// Compiled with -fno-exceptions -Wall -Wextra -Werror: the C++ layer must build that way.
#include "xk/xkutil.hpp"

int main() {
    auto encoded = xk::base64_encode(std::span<const uint8_t>());
    xk::DirScan scan("/");
    int entries = 0;
    for (const std::string &name : scan) entries += name.empty() ? 0 : 1;
    return encoded.status == XK_ERR_NULL_ARG || encoded.ok() ? 0 : 1;
}
