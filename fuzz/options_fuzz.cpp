// The option scanner over argument vectors made of the input's NUL-separated pieces, with the three
// ready-made handlers; a stored string is never longer than 300 characters.
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "harness.h"
#include "xk/options.h"

void fuzz_one(fuzz::Input &in) {
    std::vector<std::string> args{"prog", ""};
    for (char c : in.rest()) c != '\0' ? args.back().push_back(c) : static_cast<void>(args.emplace_back());
    std::vector<char *> argv;
    for (auto &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);  // argv[argc], as a program gets it
    char *name = nullptr;
    int count = 0, verbose = 0;
    xk_util_option table[] = {{'s', "name", xk_util_getopt_string, &name, 1},
                              {'n', "count", xk_util_getopt_int, &count, 1},
                              {'v', "verbose", xk_util_getopt_flag, &verbose, 0}};
    if (xk_util_getopt(static_cast<int>(args.size()), argv.data(), table, 3) == XK_OK)
        FUZZ_CHECK(name == nullptr || strlen(name) <= 300);
    free(name);
}
