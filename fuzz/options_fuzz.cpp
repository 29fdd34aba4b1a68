// The option scanner over random argument vectors with the three ready-made handlers.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "xk/errortrace.h"
#include "xk/log.h"
#include "xk/options.h"

namespace {
void quiet_sink(void *, int, int, const char *, const char *, int, const char *) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    xk_log_set_sink(quiet_sink, nullptr);
    // Arguments are the input's NUL-separated pieces, after the program name.
    std::vector<std::string> pieces{"prog"};
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            pieces.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    pieces.push_back(current);
    std::vector<char *> argv;
    for (auto &p : pieces) argv.push_back(p.data());
    argv.push_back(nullptr);

    char *name = nullptr;
    int count = 0;
    int verbose = 0;
    xk_util_option table[] = {
        {'s', "name", xk_util_getopt_string, &name, 1},
        {'n', "count", xk_util_getopt_int, &count, 1},
        {'v', "verbose", xk_util_getopt_flag, &verbose, 0},
    };
    xk_util_status st = xk_util_getopt(static_cast<int>(pieces.size()), argv.data(), table, 3);
    if (st == XK_OK && name != nullptr && strlen(name) > 300) __builtin_trap();
    free(name);
    xk_trace_clear();
    return 0;
}
