#!/usr/bin/env bash
# Checks a built module's exports (and, for a DLL, its imports):
# check_exports.sh MODULE OBJDUMP NM
set -euo pipefail
module=$1 objdump=$2 nm=$3
fail() { echo "check_exports: $*" >&2; exit 1; }

case "$module" in
*.dll)
  table=$("$objdump" -p "$module")
  names=$(printf '%s\n' "$table" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\[ *[0-9]+\]/ {print $NF}' | sort | tr '\n' ' ')
  [ "$names" = "MAIN VSTPluginMain main " ] || fail "exports are '$names'"
  imports=$(printf '%s\n' "$table" | awk '/DLL Name:/ {print $3}' | sort | tr '\n' ' ')
  for dll in $imports; do
    case "${dll,,}" in
    kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll) ;;
    *) fail "imports a non-system DLL: $dll" ;;
    esac
  done
  ;;
*)
  names=$("$nm" -D --defined-only "$module" | awk '$2 == "T" {print $3}' | sort | tr '\n' ' ')
  [ "$names" = "MAIN VSTPluginMain main " ] || fail "exported functions are '$names'"
  ;;
esac
