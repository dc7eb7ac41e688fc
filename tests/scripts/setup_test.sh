#!/usr/bin/env bash
# scripts/setup run by a user other than root on a machine that lacks something: it installs nothing,
# names what is missing and fails, so that the test command stops there with a clue; with nothing
# missing it succeeds without a word. The user, the package database and the locales are stand-ins
# on PATH; whether 32-bit programs run is this machine's own answer (the test command set it up).
set -uo pipefail
setup=$(cd "$(dirname "$0")/../../scripts" && pwd)/setup
work=$(mktemp -d "${TMPDIR:-/tmp}/setup-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
failures=0

stand_in() {  # stand_in NAME SCRIPT-BODY
  printf '#!/bin/sh\n%s\n' "$2" >"$work/bin/$1"
  chmod +x "$work/bin/$1"
}
stand_in id 'echo 1000'
stand_in dpkg-query 'echo "install ok installed"'
expect() {  # expect WHAT STATUS TEXT-ON-STDERR (empty: none at all)
  local rc
  PATH="$work/bin:$PATH" "$setup" >"$work/out" 2>"$work/err"; rc=$?
  if [ -n "$3" ]; then grep -qF -- "$3" "$work/err"; else [ ! -s "$work/err" ]; fi
  if [ $? = 0 ] && [ "$rc" = "$2" ]; then
    echo "ok   - $1"
  else
    echo "FAIL - $1: status $rc, stderr:"; cat "$work/err"; failures=$((failures + 1))
  fi
}

stand_in locale 'printf "C\nC.utf8\nPOSIX\n"'
expect "a locale missing: named, and the run fails" 1 "ru_RU.UTF-8"
stand_in locale 'printf "C\nC.utf8\nPOSIX\nru_RU.utf8\n"'
stand_in dpkg-query 'case "$3" in xvfb) echo "deinstall ok config-files" ;; *) echo "install ok installed" ;; esac'
expect "a package missing: named, and the run fails" 1 "xvfb"
stand_in dpkg-query 'echo "install ok installed"'
expect "nothing missing: silent success" 0 ""

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
