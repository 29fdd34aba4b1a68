// SPDX-License-Identifier: MIT
// The base64 converters on arbitrary input: every road this machine runs gives the scalar road's
// output (AddressSanitizer watches every read and write), and encoding round-trips.
#include <stdlib.h>

#include <string>

#include "harness.h"
#include "internal/base64_roads.h"
#include "xk/base64.h"

namespace {

template <typename Out, typename In, typename Convert>
std::string run(const In *in, size_t size, Convert convert) {
    Out *out = nullptr;
    size_t len = 0;
    FUZZ_CHECK(convert(in, size, &out, &len) == XK_OK);
    std::string result(reinterpret_cast<const char *>(out), len);
    free(out);
    return result;
}

}  // namespace

void fuzz_one(fuzz::Input &in) {
    namespace b64 = xk::base64;
    const char *text = reinterpret_cast<const char *>(in.data);
    std::string decoded, encoded;
    for (int id = b64::kScalar; id < b64::kRoadCount; ++id) {
        if (!b64::force_road(static_cast<b64::RoadId>(id))) continue;
        std::string d = run<uint8_t>(text, in.size, xk_util_base64_decode);
        std::string e = run<char>(in.data, in.size, xk_util_base64_encode);
        if (id == b64::kScalar) {  // the first road: the others must match it
            decoded = d;
            encoded = e;
        }
        FUZZ_CHECK(d == decoded && e == encoded);
    }
    b64::use_best_road();
    FUZZ_CHECK(encoded.size() == (in.size + 2) / 3 * 4);
    FUZZ_CHECK(run<uint8_t>(encoded.data(), encoded.size(), xk_util_base64_decode) ==
               std::string(text, in.size));
}
