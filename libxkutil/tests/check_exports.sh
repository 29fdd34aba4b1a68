#!/usr/bin/env bash
# Usage: check_exports.sh LIBRARY EXPORT_LIST [NM]
# Fails when the library defines a dynamic symbol that the list does not name.
set -euo pipefail
lib=$1 list=$2 nm=${3:-nm}
soname=$(readelf -d "$lib" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = "libxkutil.so.1" ] || { echo "SONAME is '$soname', want libxkutil.so.1"; exit 1; }
defined=$("$nm" -D --defined-only "$lib" | awk '{print $NF}' | sed 's/@.*//' | sort -u)
extra=$(comm -23 <(printf '%s\n' "$defined") <(sort -u "$list"))
if [ -n "$extra" ]; then
    echo "exported but not in the list:"; printf '  %s\n' $extra; exit 1
fi
echo "$(printf '%s\n' "$defined" | wc -l) exported names, all listed"
