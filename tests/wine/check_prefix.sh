#!/usr/bin/env bash
# The Wine prefix the tests run in holds every setting of the scripts'
# wine-prefix.reg, as it says, whatever an earlier run did to it: one killed
# while the mark was out, or one in another language, whose first program
# rewrites the font substitutes. Run inside the test command's Wine session.
#   check_prefix.sh
set -euo pipefail
settings=$(dirname "$0")/../../scripts/wine-prefix.reg
fail() { echo "FAIL $*" >&2; failures=$((failures + 1)); }
failures=0 checked=0 key=""
while IFS= read -r line; do
  line=${line%$'\r'}
  if [[ $line =~ ^\[(.*)\]$ ]]; then
    key=${BASH_REMATCH[1]}
  elif [[ $line =~ ^\"([^\"]*)\"=(.*)$ ]]; then
    name=${BASH_REMATCH[1]} value=${BASH_REMATCH[2]}
    # "text" is a string; dword:0000000A a number, which reg prints as 0xa.
    if [[ $value =~ ^dword:([0-9a-fA-F]{8})$ ]]; then
      value=$(printf '0x%x' "0x${BASH_REMATCH[1]}")
    else
      value=${value#\"} value=${value%\"}
    fi
    held=$({ wine reg query "$key" /v "$name" 2>/dev/null || true; } | tr -d '\r' |
      sed -n "s/^ *$(sed 's/[][\.*^$/]/\\&/g' <<<"$name") *REG_[A-Z]* *//p")
    [ "$held" = "$value" ] || fail "$key\\$name is '$held', not '$value'"
    checked=$((checked + 1))
  fi
done <"$settings"
[ "$checked" -ge 5 ] || fail "only $checked settings were read from $settings"
[ "$failures" -eq 0 ] || exit 1
echo "the prefix holds all $checked settings of wine-prefix.reg"
