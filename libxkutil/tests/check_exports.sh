#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Usage: check_exports.sh LIBRARY EXPORT_LIST [NM]
# Fails unless the library exports exactly the names of the list, each in the XKUTIL_1.0 node (type A
# is the node itself), under the SONAME libxkutil.so.1; a diff shows the names exported (<) or listed (>) only.
set -euo pipefail
lib=$1 list=$2 nm=${3:-nm}
soname=$(readelf -d "$lib" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = "libxkutil.so.1" ] || { echo "SONAME is '$soname', want libxkutil.so.1"; exit 1; }
symbols=$("$nm" -D --defined-only "$lib" | awk '$2 != "A" {print $NF}')
! printf '%s\n' "$symbols" | grep -v '@@XKUTIL_1\.0$' || { echo "exported outside XKUTIL_1.0"; exit 1; }
diff <(printf '%s\n' "$symbols" | sed 's/@.*//' | sort -u) <(sort -u "$list")
echo "$(wc -l < "$list") exported names, exactly the list"
