#!/usr/bin/env bash
# Checks that a built module exports exactly the given functions and, for a
# Windows module, imports only the system DLLs the README names:
# check_exports.sh MODULE OBJDUMP NM NAME...
set -euo pipefail
module=$1 objdump=$2 nm=$3
shift 3
want=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
fail() { echo "check_exports: $module: $*" >&2; exit 1; }

if "$objdump" -f "$module" 2>/dev/null | grep -q 'file format pei-'; then
  table=$("$objdump" -p "$module")
  names=$(printf '%s\n' "$table" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\[ *[0-9]+\]/ {print $NF}' | sort | tr '\n' ' ')
  [ "$names" = "$want" ] || fail "exports are '$names', not '$want'"
  imports=$(printf '%s\n' "$table" | awk '/DLL Name:/ {print $3}' | sort | tr '\n' ' ')
  for dll in $imports; do
    case "${dll,,}" in
    kernel32.dll | msvcrt.dll) ;;
    *) fail "imports a DLL the README does not name: $dll" ;;
    esac
  done
else
  names=$("$nm" -D --defined-only "$module" | awk '$2 ~ /^[TDR]$/ {print $3}' | sort | tr '\n' ' ')
  [ "$names" = "$want" ] || fail "exported functions are '$names', not '$want'"
fi
