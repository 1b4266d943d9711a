#!/usr/bin/env bash
# Validates the built bundle's Turtle against the installed LV2 vocabularies:
# validate.sh LV2_VALIDATE BUNDLE_DIR. lv2_validate's exit status does not
# always say what it found, so its output decides.
set -uo pipefail
validate=$1 bundle=${2%/}
fail() { echo "validate: $*" >&2; exit 1; }

shopt -s nullglob
files=("$bundle"/*.ttl)
[ ${#files[@]} -ge 2 ] || fail "no manifest and description in $bundle"
output=$("$validate" "${files[@]}" 2>&1)
printf '%s\n' "$output"
# The installed vocabularies may lack a file the validator lists; the bundle may not.
grep -qF "Skipping file $bundle" <<<"$output" && fail "a file of the bundle was skipped"
grep -qiE '^(error|warning)|does not match' <<<"$output" && fail "the validator reports problems"
grep -qE '^Found 0 errors' <<<"$output" || fail "no clean summary from the validator"
exit 0
