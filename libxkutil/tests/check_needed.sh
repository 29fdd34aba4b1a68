#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Usage: check_needed.sh LIBRARY
# Fails when the library needs anything beyond glibc, the loader and the two companions.
set -euo pipefail
needed=$(readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
echo "$needed"
bad=$(printf '%s\n' "$needed" | grep -v -E '^(libc\.so\.6|libm\.so\.6|ld-linux.*|libxklog\.so.*|libxkerrortrace\.so.*)$' || true)
[ -z "$bad" ] || { echo "unexpected dependencies: $bad"; exit 1; }
