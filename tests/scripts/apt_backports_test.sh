#!/usr/bin/env bash
# scripts/apt-backports over sample apt sources in both formats: it must copy the address of the
# release's own entry, never the security archive's, a source package's or a disabled one's.
set -uo pipefail
tool=$(cd "$(dirname "$0")/../../scripts" && pwd)/apt-backports
work=$(mktemp -d "${TMPDIR:-/tmp}/apt-backports.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

machine() {  # machine NAME FILE CONTENT [FILE CONTENT]...: a sample root
  local dir=$work/$1; shift
  mkdir -p "$dir/etc/apt/sources.list.d"
  printf 'ID=debian\nVERSION_CODENAME=bookworm\n' >"$dir/etc/os-release"
  while [ $# -gt 0 ]; do printf '%s' "$2" >"$dir/etc/apt/$1"; shift 2; done
}
expect() {  # expect NAME STATUS OUTPUT
  local out rc
  out=$("$tool" "$work/$1" 2>"$work/$1.err"); rc=$?
  if [ "$rc" = "$2" ] && [ "$out" = "$3" ]; then echo "ok   - $1"; return; fi
  echo "FAIL - $1: status $rc, output:"; echo "$out"; cat "$work/$1.err"; failures=$((failures + 1))
}

machine deb822 sources.list.d/debian.sources 'Types: deb
# a comment inside the stanza
URIs: http://mirror.example/debian-security
Suites: bookworm-security
Components: main

types: deb deb-src
URIs: http://mirror.example/debian
suites: bookworm bookworm-updates
Components: main contrib
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
' sources.list.d/other.sources.disabled 'Types: deb
URIs: http://wrong.example/
Suites: bookworm
'
expect deb822 0 'Types: deb
URIs: http://mirror.example/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg'

machine one-line sources.list '# deb http://wrong.example/debian bookworm main
deb http://security.example/debian-security bookworm-security main
deb-src http://wrong.example/debian bookworm main
deb [ arch=amd64 signed-by=/etc/k.gpg ] http://mirror.example/debian bookworm main # ours
deb http://later.example/debian bookworm main
'
expect one-line 0 'Types: deb
URIs: http://mirror.example/debian
Suites: bookworm-backports
Components: main
Signed-By: /etc/k.gpg'

machine present sources.list 'deb http://mirror.example/debian bookworm main
' sources.list.d/backports.list 'deb http://mirror.example/debian bookworm-backports main
'
expect present 0 ''

machine none sources.list 'deb http://security.example/debian-security bookworm-security main
' sources.list.d/off.sources 'Types: deb
URIs: http://mirror.example/debian
Suites: bookworm
Enabled: no
'
expect none 3 ''
grep -q 'bookworm-backports main' "$work/none.err" || { echo "FAIL - none: no advice"; failures=$((failures + 1)); }

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
