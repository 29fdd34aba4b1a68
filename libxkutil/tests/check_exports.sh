#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Usage: check_exports.sh LIBRARY EXPORT_LIST [NM]
# Fails unless the library exports exactly the names of the list.
set -euo pipefail
lib=$1 list=$2 nm=${3:-nm}
soname=$(readelf -d "$lib" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = "libxkutil.so.1" ] || { echo "SONAME is '$soname', want libxkutil.so.1"; exit 1; }
# Type A is the version node itself; every function must sit in the XKUTIL_1.0 node.
symbols=$("$nm" -D --defined-only "$lib" | awk '$2 != "A" {print $NF}')
unversioned=$(printf '%s\n' "$symbols" | grep -v '@@XKUTIL_1\.0$' || true)
[ -z "$unversioned" ] || { echo "exported outside XKUTIL_1.0:"; printf '  %s\n' $unversioned; exit 1; }
defined=$(printf '%s\n' "$symbols" | sed 's/@.*//' | sort -u)
extra=$(comm -23 <(printf '%s\n' "$defined") <(sort -u "$list"))
if [ -n "$extra" ]; then
    echo "exported but not in the list:"; printf '  %s\n' $extra; exit 1
fi
missing=$(comm -13 <(printf '%s\n' "$defined") <(sort -u "$list"))
if [ -n "$missing" ]; then
    echo "listed but not exported:"; printf '  %s\n' $missing; exit 1
fi
echo "$(printf '%s\n' "$defined" | wc -l) exported names, exactly the list"
