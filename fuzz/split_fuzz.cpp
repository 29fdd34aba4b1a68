// SPDX-License-Identifier: MIT
// Split against the skip step written from the rules (whole-string delimiter stepped over in
// delimiter-sized steps, no empty fields), then join of the fields with the same delimiter. Text,
// delimiter and fields sit in blocks of exactly their size, so any read past a terminator is caught.
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "harness.h"
#include "xk/strings.h"

namespace {

std::vector<std::string> split_model(const std::string &text, const std::string &delim) {
    std::vector<std::string> out;
    for (size_t start = 0, end = 0, dl = delim.size(); dl > 0 && end != std::string::npos; start = end) {
        while (start + dl <= text.size() && text.compare(start, dl, delim) == 0) start += dl;
        if (start >= text.size()) break;
        end = text.find(delim, start), out.push_back(text.substr(start, end - start));
    }
    if (delim.empty() && !text.empty()) out.push_back(text);  // the library's choice: one field
    return out;
}

}  // namespace

// The first byte gives the delimiter's length (0-3), the delimiter follows, the rest is the text;
// both end at their first zero byte.
void fuzz_one(fuzz::Input &in) {
    std::string delim = in.piece(in.byte() % 4).c_str(), text = in.rest().c_str();
    char *text_block = strdup(text.c_str()), *delim_block = strdup(delim.c_str()), **fields = nullptr,
         *joined = nullptr;
    size_t count = 0, size = 0;
    FUZZ_CHECK(xk_util_split(text_block, delim_block, &fields, &count) == XK_OK &&
               (count == 0) == (fields == nullptr));
    std::vector<std::string> want = split_model(text, delim);
    FUZZ_CHECK(std::vector<std::string>(fields, fields + count) == want);
    if (count > 0) {
        FUZZ_CHECK(xk_util_join(const_cast<const char **>(fields), count, delim_block, &joined, &size) ==
                   XK_OK);
        std::string want_joined = want[0];
        for (size_t i = 1; i < count; ++i) want_joined += delim + want[i];
        FUZZ_CHECK(size == want_joined.size() + 1 && want_joined == joined);
        // A one-character delimiter gives the text back exactly when none leads, trails or doubles.
        bool plain = text.front() != delim[0] && text.back() != delim[0] &&
                     text.find(delim + delim) == std::string::npos;
        FUZZ_CHECK(delim.size() != 1 || plain == (text == joined));
    }
    for (size_t i = 0; i < count; ++i) free(fields[i]);
    free(fields), free(joined), free(text_block), free(delim_block);
}
