#!/usr/bin/env bash
# At a station the simulator is often registered for training and the real terminal server installed
# afterwards: the server's self-registration writes its own entries into the keys the simulator made,
# leaving the simulator's marker behind. From then on `dcthost sim unregister` and `dcthost sim
# register` must refuse in one line, with a failing status, and every value the real server wrote
# must stay. Both kinds of the simulator's registration are tried in turn, in a fresh prefix of the
# test's own, so that the "real server" it writes reaches no other test.
#
# usage: sim_register_e2e.sh BUILD_DIR PREFIX      (the win32 build)
set -uo pipefail
build=$(cd "$1" && pwd) prefix=$(realpath -m "$2")
root=$(cd "$(dirname "$0")/../../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/sim-register-e2e.XXXXXX")
trap 'WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT
WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
rm -rf "$prefix" "$prefix.lock"
wine_run=("$root/scripts/wine-run" "$prefix")
unset DCT_TERMSIM_DIR

clsid='{3A9E81C3-133A-11D6-9917-80E62FD8C953}'
iid='{3A9E81C1-133A-11D6-9917-80E62FD8C953}'
real_lib='{0D1F2E3C-4B5A-6978-8796-A5B4C3D2E1F0}'
marshaller='{00020424-0000-0000-C000-000000000046}'

failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; failures=$((failures + 1)); fi
}
run() {  # run PROGRAM ARGS...: stdout, stderr and status into $work/{out,err,rc}
  "${wine_run[@]}" "$@" >"$work/out" 2>"$work/err" </dev/null
  echo $? >"$work/rc"
}
dcthost() { run "$build/dcthost.exe" "$@"; }
status_is() { [ "$(cat "$work/rc")" = "$1" ] || { echo "  status $(cat "$work/rc"), expected $1"; cat "$work/err"; return 1; }; }
one_line_has() {  # stderr is one line naming $1
  [ "$(grep -c . "$work/err")" = 1 ] && grep -qF -- "$1" "$work/err" || { echo "  stderr:"; cat "$work/err"; return 1; }
}
regedit() {  # regedit FILE-TEXT: imported as a technician's .reg file would be
  printf '%s\r\n' "REGEDIT4" "" "$@" >"$work/change.reg"
  "${wine_run[@]}" regedit /s "$(printf 'Z:%s' "${work//\//\\}")\\change.reg" >/dev/null 2>&1
}
registry() {  # both keys, every value, into $work/registry
  { "${wine_run[@]}" reg query "HKCR\\CLSID\\$clsid" /s
    "${wine_run[@]}" reg query "HKCR\\Interface\\$iid" /s; } 2>/dev/null | tr -d '\r' >"$work/registry"
}
kept() { grep -qF -- "$1" "$work/registry" || { echo "  registry lacks: $1"; cat "$work/registry"; return 1; }; }

for kind in local in-process; do
  if [ "$kind" = local ]; then
    register=(sim register --local) entry=LocalServer32 real='C:\Station\TermServer.exe'
  else
    register=(sim register) entry=InprocServer32 real='C:\Station\TermServer.dll'
  fi
  dcthost "${register[@]}"
  check "$kind: the simulator registers" status_is 0
  # The real server's own registration: its file in the same server entry, its type library for the interface.
  regedit "[HKEY_CLASSES_ROOT\\CLSID\\$clsid]" "@=\"Terminal server\"" \
    "[HKEY_CLASSES_ROOT\\CLSID\\$clsid\\$entry]" "@=\"${real//\\/\\\\}\"" \
    "[HKEY_CLASSES_ROOT\\Interface\\$iid]" "@=\"ITerminals\"" \
    "[HKEY_CLASSES_ROOT\\Interface\\$iid\\ProxyStubClsid32]" "@=\"$marshaller\"" \
    "[HKEY_CLASSES_ROOT\\Interface\\$iid\\TypeLib]" "@=\"$real_lib\"" "\"Version\"=\"1.0\""

  dcthost sim unregister
  check "$kind: sim unregister over a real server fails" status_is 1
  check "$kind: sim unregister says why, in one line" one_line_has "$real"
  dcthost sim register --local
  check "$kind: sim register --local over a real server fails" status_is 1
  check "$kind: sim register --local says why, in one line" one_line_has "$real"
  if [ "$kind" = in-process ]; then
    run regsvr32 /s /u "$build/TermSim.dll"
    check "$kind: regsvr32 /u TermSim.dll fails" bash -c '[ "$(cat "$1")" != 0 ]' _ "$work/rc"
  fi
  registry
  check "$kind: the real server's entry is still there" kept "$real"
  check "$kind: the real server's type library still describes the interface" kept "$real_lib"
  check "$kind: its marshaller too" kept "$marshaller"

  # The real server goes again; what is left of the simulator is removed as its own.
  regedit "[-HKEY_CLASSES_ROOT\\CLSID\\$clsid]" "[-HKEY_CLASSES_ROOT\\Interface\\$iid]"
  dcthost sim unregister
  check "$kind: with the real server gone, sim unregister succeeds" status_is 0
done

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
