#!/usr/bin/env bash
# The test host's own tests under Wine.
#   check.sh run PREFIX ARCH TESTHOST SCRIPT EXPECT
#     runs TESTHOST on SCRIPT and checks its report against EXPECT, whose
#     lines are `exit N` (the exit code, 0 unless given), `has TEXT` (TEXT
#     appears in the report as written) and `lacks TEXT`; '#' starts a comment.
#   check.sh register PREFIX ARCH DLL
#     registers an in-process server in the prefix's machine registry.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../scripts/wine-run.sh

windows_path() { local p; p=$(realpath "$1"); printf 'Z:%s' "${p//\//\\}"; }

mode=$1; shift
if [ "$mode" = register ]; then
  prefix=$1 arch=$2 dll=$3
  "$wine_run" "$prefix" "$arch" regsvr32 /s "$(windows_path "$dll")"
  exit
fi

prefix=$1 arch=$2 testhost=$3 script=$4 expect=$5
report=$(mktemp) errors=$(mktemp)
trap 'rm -f "$report" "$errors"' EXIT

status=0
"$wine_run" "$prefix" "$arch" "$testhost" "$(windows_path "$script")" >"$report" 2>"$errors" || status=$?

failures=0
complain() { echo "FAIL: $*"; failures=$((failures + 1)); }

want_exit=0
while IFS= read -r line || [ -n "$line" ]; do
  case $line in
    ''|'#'*) ;;
    'exit '*) want_exit=${line#exit } ;;
    'has '*) grep -qF -- "${line#has }" "$report" || complain "missing: ${line#has }" ;;
    'lacks '*) ! grep -qF -- "${line#lacks }" "$report" || complain "present: ${line#lacks }" ;;
    *) complain "bad expectation line: $line" ;;
  esac
done <"$expect"

[ "$status" = "$want_exit" ] || complain "exit code $status, expected $want_exit"
if [ "$want_exit" = 0 ] && [ "$status" = 0 ]; then
  if command -v python3 >/dev/null; then
    python3 -m json.tool "$report" >/dev/null || complain "the report is not valid JSON"
  elif command -v jq >/dev/null; then
    jq empty "$report" || complain "the report is not valid JSON"
  fi
fi

if [ "$failures" -gt 0 ]; then
  echo "--- report"; cat "$report"; echo "--- stderr"; cat "$errors"
  exit 1
fi
echo "ok: $(basename "$script")"
