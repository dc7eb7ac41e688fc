#!/usr/bin/env bash
# The release archive as a technician gets it: copied alone into a fresh folder and a fresh Wine
# prefix, with nothing of the build tree on any path, unpacked, its checksums verified, and the
# commands of its own guide run as written. A file missing from the archive, or a binary that needs
# one from elsewhere, fails here.
#
# usage: release_test.sh ARCHIVE      (dist/DctDrv-<version>-win32.zip, as scripts/package makes it)
set -uo pipefail
archive=$(realpath "$1")
wine_run=$(cd "$(dirname "$0")/../../scripts" && pwd)/wine-run
name=$(basename "$archive" .zip)
version=${name#DctDrv-} version=${version%-win32}
work=$(mktemp -d "${TMPDIR:-/tmp}/dct-release.XXXXXX")
prefix=$work/prefix
trap 'WINEPREFIX=$prefix wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
# What the build's tests set must not help the release: each of these would point into the build.
unset WINEPATH DCT_TERMSIM_DIR DCTHOST_SETTINGS TARN_LOGS_FOLDER
export LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8  # code page 1251, as at the stations
export WINEDEBUG=-all,err+module               # names a DLL that cannot be found

failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; failures=$((failures + 1)); fi
}

cp "$archive" "$work/" && cd "$work" && unzip -q "$name.zip" || { echo "FAIL - unpacking $archive"; exit 1; }
cd "$work/$name" || exit 1

check "SHA256SUMS holds and verifies" sha256sum --quiet --strict -c SHA256SUMS
check "SHA256SUMS covers every other file" \
  test "$(find . -type f ! -name SHA256SUMS -printf '%P\n' | sort)" = "$(sed 's/^[0-9a-f]*  //' SHA256SUMS | sort)"
for file in DctDrv.dll TermSim.dll dcthost.exe README.md tracing.md; do
  check "$file is in the archive" test -f "$file"
done
check "DctDrv.dll keeps the section its traces are written from" \
  bash -c 'i686-w64-mingw32-objdump -h DctDrv.dll | grep -qw JCLDEBUG'
for binary in *.dll *.exe; do
  [ "$binary" = DctDrv.dll ] ||
    check "$binary carries no DWARF" bash -c "! i686-w64-mingw32-objdump -h '$binary' | grep -q '\.debug_'"
  check "$binary is version $version" \
    bash -c "i686-w64-mingw32-windres -i '$binary' -O rc | grep -q 'VALUE \"FileVersion\", \"$version\"'"
done

# The guide's checking commands, exactly as a technician types them into a command prompt opened in
# this folder: cmd finds dcthost.exe in the current folder, dcthost finds the rest beside itself.
mapfile -t commands < <(awk '/^```bat/ { on = 1; next } /^```/ { on = 0 } on' README.md | tr -d '\r')
for needed in "dcthost info" "dcthost sim register" "dcthost doctor" "dcthost read"; do
  check "the guide has \`$needed\`" bash -c 'printf "%s\n" "${@:2}" | grep -q "^$1"' _ "$needed" "${commands[@]}"
done
for line in "${commands[@]}"; do
  printf '@%s\r\n' "$line" >"$work/line.bat"
  "$wine_run" "$prefix" cmd /c "$(printf 'Z:%s' "${work//\//\\}")\\line.bat" >"$work/out" 2>"$work/err" </dev/null
  rc=$?
  check "'$line' succeeds" test "$rc" = 0
  [ "$rc" = 0 ] || sed 's/^/  /' "$work/out" "$work/err"
  case $line in
    "dcthost --version") check "dcthost --version names $version" grep -qx "dcthost $version" "$work/out" ;;
    "dcthost info") check "the library is the archive's" grep -qF "$name\\DctDrv.dll" "$work/out" ;;
    "dcthost doctor"*) check "doctor finds nothing wrong" grep -q "everything looks right" "$work/out" ;;
    "dcthost read"*) check "the read gives the sample records" grep -q "^4601234567890;2" "$work/out" ;;
  esac
done

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
