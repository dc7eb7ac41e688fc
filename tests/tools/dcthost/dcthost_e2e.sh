#!/usr/bin/env bash
# End-to-end run of dcthost against the terminal simulator: every command as a user types it, checked
# by exit status, output files and what the simulated terminal holds afterwards.
#
# usage: dcthost_e2e.sh native BUILD_DIR
#        dcthost_e2e.sh wine   BUILD_DIR PREFIX   (the win32 build; PREFIX: a Wine prefix of its own,
#                                                  since the run registers the simulator in it)
set -uo pipefail
mode=$1 build=$(cd "$2" && pwd) prefix=${3:-}
[ -z "$prefix" ] || prefix=$(realpath -m "$prefix")
root=$(cd "$(dirname "$0")/../../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/dcthost-e2e.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/device" "$work/settings"

if [ "$mode" = wine ]; then
  exe=("$root/scripts/wine-run" "$prefix" "$build/dcthost.exe")
  host_path() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
  # Code page 1251, decimal comma: the host's own setting.
  export LANG=ru_RU.UTF-8
  decimal=,
else
  exe=("$build/dcthost")
  host_path() { printf '%s' "$1"; }
  decimal=.
fi
export DCT_TERMSIM_DIR=$(host_path "$work/device")
export DCTHOST_SETTINGS=$(host_path "$work/settings")
device=$work/device

failures=0
check() {  # check DESCRIPTION COMMAND...: the command must succeed
  local what=$1; shift
  if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; failures=$((failures + 1)); fi
}
run() {  # run: dcthost with the arguments; stdout, stderr and status into $work/{out,err,rc}
  "${exe[@]}" "$@" >"$work/out" 2>"$work/err" </dev/null
  echo $? >"$work/rc"
}
status_is() { [ "$(cat "$work/rc")" = "$1" ] || { echo "  status $(cat "$work/rc"), expected $1"; cat "$work/err"; return 1; }; }
err_has() { grep -qF -- "$1" "$work/err" || { echo "  stderr lacks: $1"; cat "$work/err"; return 1; }; }
out_has() { grep -qF -- "$1" "$work/out" || { echo "  stdout lacks: $1"; cat "$work/out"; return 1; }; }
same() { cmp -s "$1" "$2" || { echo "  $1 differs:"; diff <(od -c "$1") <(od -c "$2") | head -20; return 1; }; }
no_calls() { ! grep -q "$1" "$device/calls.log" 2>/dev/null || { echo "  calls.log has $1"; return 1; }; }

if [ "$mode" = wine ]; then
  run sim register
  check "sim register puts the simulator in the prefix" status_is 0
fi

# --- info
run info
check "info: status 0" status_is 0
check "info: the library's name in UTF-8" out_has "Терминал сбора данных Opicon&Zebex"
check "info: the record stays within its 524 bytes" out_has "nothing written past them"

# --- a terminal without settings: -7
run read
check "read without settings: status 1" status_is 1
check "read without settings: -7 and the fix" err_has "DctInit failed: -7"
run show --terminal 9
check "show of an unknown terminal: -7" err_has "-7"

# --- configure as the dialog saves
run configure --port 3 --rate 57600 --cable
check "configure: status 0" status_is 0
printf '[1]\r\nDCT_Port=3\r\nDCT_Rate=2\r\nDCT_type=1\r\nDCT_ID=1\r\n' >"$work/ini.expected"
check "configure: the section as the dialog writes it" same "$work/settings/DctDrv.ini" "$work/ini.expected"
run configure --rate 9600
check "configure keeps what a flag does not change" out_has "COM 3"
run configure --port 11
check "configure --port 11 is refused" status_is 2

# --- read: bulk to a file, then step by step as JSON Lines
printf '4601234567890;2\n4607654321098;1.5\n;3\n4600000000017;0\n' >"$device/records.csv"
run read --out "$(host_path "$work/read.csv")" --decimal .
check "read: status 0" status_is 0
printf '4601234567890;2\r\n4607654321098;1.5\r\n' >"$work/read.expected"
check "read: code;quantity lines, empty codes and zero quantities left out" same "$work/read.csv" "$work/read.expected"
check "read: the terminal keeps its records" test -s "$device/records.csv"
run read --step --format jsonl
check "read --step: status 0" status_is 0
check "read --step: JSON Lines" out_has '{"code":"4607654321098","quantity":1.5}'
check "read --step: no clearing asked of the server" no_calls "^Clear ->"
run read --separator , --header
if [ "$decimal" = , ]; then quantity='"1,5"'; else quantity=1.5; fi
check "read: the locale's decimal separator, a chosen field separator" out_has "4607654321098,$quantity"
check "read --header: a first line naming the columns" out_has "code,quantity"

# --- --clear-after never loses a record
run read --clear-after --out "$(host_path "$work/no/such/dir/out.csv")"
check "read --clear-after into an impossible file: status 3" status_is 3
check "read --clear-after into an impossible file: the terminal keeps its records" test -s "$device/records.csv"
check "read --clear-after into an impossible file: no Clear call" no_calls "^Clear ->"
run read --clear-after --out "$(host_path "$work/cleared.csv")" --decimal .
check "read --clear-after: status 0" status_is 0
check "read --clear-after: every record saved" same "$work/cleared.csv" "$work/read.expected"
check "read --clear-after: the terminal is empty afterwards" test ! -s "$device/records.csv"

# --- a read that fails in the middle leaves no file that looks complete
printf '4601;2\n4602;1\n4603;abc\n4604;1\n' >"$device/records.csv"
run read --out "$(host_path "$work/cut.csv")" --decimal .
check "read failing mid-way: status 1" status_is 1
check "read failing mid-way: no file under the --out name" test ! -e "$work/cut.csv"
printf '4601;2\r\n4602;1\r\n' >"$work/cut.expected"
check "read failing mid-way: the partial file holds exactly the records delivered" \
  same "$work/cut.csv.partial" "$work/cut.expected"
check "read failing mid-way: the message names the partial file" err_has "cut.csv.partial"

# --- write the goods table
printf 'barcodes;text1;number;text2\n4601|4602:x|;Хлеб белый;1,5;шт\n;no barcode;1;x\n4603;"Молоко; 1л";abc;л\n4604;Соль;2;кг;extra\n' >"$work/bad.csv"
rm -f "$device/table.csv"
run write "$(host_path "$work/bad.csv")" --full
check "write of a bad CSV: status 3" status_is 3
check "write of a bad CSV: line 3 named" err_has "bad.csv:3: no barcode"
check "write of a bad CSV: line 4 named" err_has "bad.csv:4: number"
check "write of a bad CSV: line 5 named" err_has "bad.csv:5: 5 fields"
check "write of a bad CSV: nothing sent" test ! -e "$device/table.csv"
run write "$(host_path "$work/bad.csv")" --full --skip-bad --allow-incomplete-table
check "write --skip-bad: status 0" status_is 0
printf '4601;0;Хлеб белый;шт\r\n4602;0;Хлеб белый;шт\r\n' >"$work/table.expected"
tr -d '\r' <"$work/table.expected" >"$work/table.expected.lf"
check "write --skip-bad: the good row under each of its barcodes" \
  bash -c "tr -d '\r' <'$device/table.csv' | cmp -s - '$work/table.expected.lf'"
printf '4605;"Молоко; 1л";2;л\n' >"$work/more.csv"
run write "$(host_path "$work/more.csv")"
check "write (append): status 0" status_is 0
check "write (append): the table grows" bash -c "[ \$(grep -c . '$device/table.csv') = 3 ]"
check "write (append): quoted text kept whole" grep -qF '"Молоко; 1л"' "$device/table.csv"
iconv -f UTF-8 -t CP1251 <"$work/more.csv" >"$work/more1251.csv"
run write "$(host_path "$work/more1251.csv")" --encoding cp1251 --full
check "write --encoding cp1251: status 0" status_is 0
check "write --encoding cp1251: the text arrives intact" grep -qF '"Молоко; 1л"' "$device/table.csv"

# --- no cut table is ever sent, and nothing is done for a command line that cannot be right
cp "$device/table.csv" "$work/table.before"
: >"$device/calls.log"
# Six lines, a quote left open on line 3: lines 3 to 6 cannot be read, and are not merely skipped.
printf 'barcodes;text1;number;text2\n4601;a;1;x\n"4602;b;1;x\n4603;c;1;x\n4604;d;1;x\n4605;e;1;x\n' >"$work/open.csv"
run write "$(host_path "$work/open.csv")" --full --skip-bad --allow-incomplete-table
check "write of a table cut by an open quote: status 3" status_is 3
check "write of a table cut by an open quote: the lines lost named" err_has "lines 3 to 6 cannot be read"
run write "$(host_path "$work/bad.csv")" --full --skip-bad
check "write --full skipping bad rows without saying so: status 3" status_is 3
check "write --full skipping bad rows without saying so: the option named" err_has "--allow-incomplete-table"
printf 'barcodes;text1;number;text2\n4601;Хлеб;1;шт\n4602;Соль;2;кг\n' | iconv -f UTF-8 -t CP1251 >"$work/all1251.csv"
run write "$(host_path "$work/all1251.csv")" --full --skip-bad --allow-incomplete-table
check "write --full of a table with no good row: status 3" status_is 3
check "write --full of a table with no good row: the likely encoding named" err_has "--encoding cp1251"
check "write --full of a table with no good row: the option named" err_has "--allow-empty-table"
printf 'barcodes;text1;number;text2\n4601;a;1;x\n' | iconv -f UTF-8 -t UTF-16LE >"$work/wide.csv"
run write "$(host_path "$work/wide.csv")"
check "write of a UTF-16 table: status 3" status_is 3
check "write of a UTF-16 table: the encoding named" err_has "UTF-16 little-endian"
printf '4601234567890;2\n' >"$device/records.csv"
run clear 2 --yes
check "clear 2: status 2" status_is 2
check "clear 2: the word named, and how to name a terminal" err_has '"2"; to name terminal 2, give --terminal 2'
run read 2
check "read 2: status 2" status_is 2
(cd "$work" && run read --out --clear-after)
check "read --out --clear-after: status 2" status_is 2
check "read --out --clear-after: no file of that name" test ! -e "$work/--clear-after"
run read --terminal 99999999999
check "--terminal 99999999999: status 2" status_is 2
check "none of these reached the terminal: no call" test ! -s "$device/calls.log"
check "none of these reached the terminal: its table as it was" same "$device/table.csv" "$work/table.before"
check "none of these reached the terminal: its records as they were" test -s "$device/records.csv"

# --- failures of the terminal server: statuses, -6 and the server's text
printf '[Clear]\nStatus=5\n' >"$device/faults.ini"
printf '4601234567890;2\n' >"$device/records.csv"
run clear --yes
check "clear with a failing server: status 1" status_is 1
check "clear with a failing server: the server's status passed on" err_has "DctClearData failed: 5"
printf '[BeginDownLoadTable]\nStatus=5\nDescription=Терминал занят\n' >"$device/faults.ini"
run write "$(host_path "$work/more.csv")"
check "write with a failing server: status 1" status_is 1
check "write with a failing server: -6" err_has "DctBeginWareTableWriting failed: -6"
check "write with a failing server: its text on a UTF-8 terminal" err_has "Терминал занят"
printf '[BeginReport]\nHResult=0x80004005\nErrorInfo=Порт COM3 занят\n' >"$device/faults.ini"
run read
check "read with a server failing at COM level: -6" err_has "-6"
check "read with a server failing at COM level: its text" err_has "Порт COM3 занят"
# faults.ini saved with CR LF: sim fault replaces the section, and a value with " ; " in it (which the
# file would read as a comment) reaches the server whole.
printf '[BeginReport]\r\nStatus=7\r\n' >"$device/faults.ini"
run sim fault BeginReport Status=5 "Description=Порт занят ; повторите"
check "sim fault in a CR LF faults.ini: the section replaced" \
  bash -c "[ \$(grep -c '^\[BeginReport\]' '$device/faults.ini') = 1 ] && ! grep -q 'Status=7' '$device/faults.ini'"
run read
check "sim fault: the status injected" err_has "DctEnumData failed: 5"
check "sim fault: the description whole" err_has "Порт занят ; повторите"
rm -f "$device/faults.ini"
run sim fault Device Enabled=0
run read
check "read with the device switched off: status 1" status_is 1
run doctor
check "doctor with the device switched off: status 1" status_is 1
check "doctor names the switched-off device and a fix" out_has "device is switched off"
run sim fault clear
check "sim fault clear removes faults.ini" test ! -e "$device/faults.ini"

# --- clear
run clear
check "clear without --yes and no terminal to ask: cancelled" status_is 4
check "clear without --yes: the terminal keeps its records" test -s "$device/records.csv"
run clear --yes
check "clear --yes: status 0" status_is 0
check "clear --yes: the terminal is empty" test ! -s "$device/records.csv"

# --- doctor, sim state
run doctor
check "doctor: status 0 when all is well" status_is 0
run sim records
run sim state
check "sim state shows the sample records" out_has "4601234567890"

# --- remove
run remove
check "remove: status 0" status_is 0
run remove
check "remove again: -7" err_has "-7"

if [ "$mode" = wine ]; then
  # --- a recording made with the in-process simulator (TermSim.dll in the host's process), replayed
  export TARN_LOGS_FOLDER=$(host_path "$work/traces-inproc")
  mkdir -p "$work/traces-inproc"
  run configure --port 3 --rate 57600 --cable
  run record on --hours 1
  printf '4601;2\n4602;1,5\n' >"$device/records.csv"
  run read --clear-after --decimal .
  check "a recorded read with the in-process simulator: status 0" status_is 0
  run record off
  inproc=("$work/traces-inproc"/DctDrv-rec-*.jsonl)
  check "the read's host process left one recording" test "${#inproc[@]}" = 1
  run replay "$(host_path "${inproc[0]}")"
  check "replay of the in-process read: identical" out_has "identical: "
  unset TARN_LOGS_FOLDER

  # --- the local server: TermSimServer.exe in a process of its own, as a station's server is
  run sim register --local
  check "sim register --local" status_is 0
  run configure --port 3 --rate 57600 --cable
  run doctor
  check "doctor names the local server" out_has "local server"
  DCT_TERMSIM_DIR=$(host_path "$work/elsewhere") run sim folder
  check "sim folder: the folder the registered local server serves" out_has "$(host_path "$device")"
  printf '4601;2\n4602;1\n' >"$device/records.csv"
  run read --decimal .
  check "read through the local server" out_has "4602;1"

  # --- recording at the station, and its replay offline through the same library. Each dcthost run
  # is a host process of its own, with a recording file of its own.
  traces=$work/traces
  mkdir -p "$traces"
  export TARN_LOGS_FOLDER=$(host_path "$traces")
  run record on --hours 2
  check "record on: status 0" status_is 0
  run record status
  check "record status: on" out_has "recording is on until"
  printf '4601;2\n4602;1,5\n' >"$device/records.csv"
  run read --step --decimal .
  run write "$(host_path "$work/more.csv")" --full
  printf '[BeginReport]\nStatus=7\nDescription=Нет связи с терминалом\n' >"$device/faults.ini"
  run read
  check "a recorded read that fails: status 1" status_is 1
  rm -f "$device/faults.ini"
  run clear --yes
  run record off
  check "record off: status 0" status_is 0
  run record status
  check "record status: off, and the files" out_has "recording is off"
  check "record status lists the recordings" out_has "DctDrv-rec-"
  "$root/scripts/wine-run" "$prefix" "$build/TermSimServer.exe" --stop >/dev/null 2>&1
  recordings=("$traces"/DctDrv-rec-*.jsonl)
  check "four host processes, four recordings" test "${#recordings[@]}" = 4
  failed_read=$(grep -l 'Нет связи с терминалом' "${recordings[@]}" | head -n 1)
  run record show "$(host_path "$failed_read")"
  # The bulk read passes the server's status on (DctErr's code is -6, its text the server's).
  check "record show: the failure with its code and text" out_has 'FAILED: DctEnumData 7 "Нет связи с терминалом"'
  for recording in "${recordings[@]}"; do
    run replay "$(host_path "$recording")"
    check "replay of $(basename "$recording"): identical" out_has "identical: "
  done
  unset TARN_LOGS_FOLDER

  # Killed from outside while it answers a read: the read fails with -6 and a text.
  printf '[GetRecord]\nDelayMs=20000\n' >"$device/faults.ini"
  : >"$device/calls.log"
  "${exe[@]}" read >"$work/out" 2>"$work/err" </dev/null &
  reader=$!
  for _ in $(seq 600); do
    grep -q '^GetFieldCount' "$device/calls.log" 2>/dev/null || ! kill -0 "$reader" 2>/dev/null && break
    sleep 0.1
  done
  # The server logs a call before its answer leaves, so the line above may come while GetFieldCount is
  # still on its way back. Under emulation starting the killer alone takes a second or two; where
  # 32-bit code runs natively it kills far sooner. Waiting a moment lets the host send GetRecord, which
  # the fault holds for 20 s, so that on either machine the kill finds that call in flight.
  sleep 1
  check "read while the server is killed: still waiting for the server" kill -0 "$reader"
  "$root/scripts/wine-run" "$prefix" "$build/TermSimServer.exe" --kill
  wait "$reader"
  echo $? >"$work/rc"
  check "read while the server is killed: status 1" status_is 1
  check "read while the server is killed: -6" err_has "DctEnumData failed: -6"
  rm -f "$device/faults.ini"
  # Wine 8 keeps a killed server's class registration, so every later start of the server fails
  # (REGDB_E_CLASSNOTREG, or RPC_S_SERVER_UNAVAILABLE while the dead endpoint lingers) until the
  # prefix's wineserver ends; Windows starts a new server. This runs last: nothing after it in this
  # prefix needs the local server.
  run read
  check "after the kill, Wine starts no new server: status 1" status_is 1
  check "after the kill, Wine starts no new server: -6" err_has "DctEnumData failed: -6"

  run sim unregister
  check "sim unregister" status_is 0
fi

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
