// SPDX-License-Identifier: MIT
// The option scanner over argument vectors made of the input's NUL-separated pieces, with the three
// ready-made handlers; a stored string is never longer than 300 characters.
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "harness.h"
#include "xk/options.h"

void fuzz_one(fuzz::Input &in) {
    std::string all = "prog" + std::string(1, '\0') + in.rest();
    std::vector<char *> argv{all.data()};
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i] == '\0') argv.push_back(&all[i + 1]);  // the last one is the string's own terminator
    argv.push_back(nullptr);                              // argv[argc], as a program gets it
    char *name = nullptr;
    int number = 0;  // the count and the flag share it
    // clang-format off
    xk_util_option table[] = {{'s', "name", xk_util_getopt_string, &name, 1},
                              {'n', "count", xk_util_getopt_int, &number, 1}, {'v', "verbose", xk_util_getopt_flag, &number, 0}};
    // clang-format on
    if (xk_util_getopt(static_cast<int>(argv.size() - 1), argv.data(), table, 3) == XK_OK)
        FUZZ_CHECK(name == nullptr || strlen(name) <= 300);
    free(name);
}
