#!/usr/bin/env bash
# Unzips a Windows archive as drive A: and runs the program from it under wine,
# with PRN its own printer: the screen (carriage returns removed), the exit
# status and the data file must be the POSIX program's, and the printed bytes,
# the exporter's CSV and the importer's list as they should be; and in a console
# of another code page, what the program does to it. Where this machine runs
# 32-bit x86 code and wine's i386 packages install, the 32-bit archive is used;
# elsewhere the 64-bit one, under wine64, and the first line says why. Either
# way the 32-bit archive's programs are checked to be 32-bit. Installs what it
# needs; anything that keeps the check from running fails it.
# Usage: run_under_wine.sh WIN32_ZIP WIN64_ZIP POSIX_PROGRAM
# (LEDGERINE_WINE_BITS=64 runs the twin even where 32-bit code runs.)
set -uo pipefail
posix_program=$(readlink -f "$3")
checks_name=wine
source "$(dirname "$0")/../shell/checks.sh"
source "$(dirname "$0")/../shell/apt.sh"
# Installs PACKAGE...; what apt said is kept in apt.log and shown on a failure.
install_packages() {  # package...
  { apt_update; apt_install "$@"; } > "$scratch/apt.log" 2>&1 && return 0
  tail -n 20 "$scratch/apt.log"
  return 1
}

scratch=$(mktemp -d)
reader=
cleanup() {
  [ -n "$reader" ] && kill "$reader" 2>/dev/null
  [ -n "${loader:-}" ] && WINEPREFIX="$scratch/prefix" "${loader%/*}/wineserver" -k 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

# Sets why to the reason the 32-bit program cannot run here, or to nothing where
# it can; in this shell, so that the index is fetched once a run. The 32-bit
# loader of the C library answers only where 32-bit x86 code can run, and wine's
# i386 packages may be missing from a mirror caught mid-sync.
why_not_32_bits() {
  why=
  if [ "${LEDGERINE_WINE_BITS:-}" = 64 ]; then
    why="LEDGERINE_WINE_BITS=64"
  elif [ ! -e /lib/ld-linux.so.2 ]; then
    why="the 32-bit C library is not installed here, so no 32-bit program can start"
  elif ! /lib/ld-linux.so.2 --version > /dev/null 2>&1; then
    why="this machine does not run 32-bit x86 code"
  elif [ ! -x /usr/lib/wine/wine ] && ! { dpkg --print-foreign-architectures | grep -qx i386 ||
                                           dpkg --add-architecture i386; }; then
    why="dpkg would not add the i386 architecture"
  elif [ ! -x /usr/lib/wine/wine ] && ! install_packages wine wine32:i386 > "$scratch/wine32.log"; then
    why="wine's i386 packages could not be installed (apt-get install wine32:i386 failed)"
  fi
}

why_not_32_bits
if [ -z "$why" ]; then
  archive=$1
  loader=/usr/lib/wine/wine
  export WINEARCH=win32
  echo "wine: running the 32-bit program from $1: this machine runs 32-bit x86 code"
else
  archive=$2
  loader=/usr/lib/wine/wine64
  export WINEARCH=win64
  echo "wine: the 32-bit program was not run, but the 64-bit twin from $2 under wine64: $why"
  [ -f "$scratch/wine32.log" ] && cat "$scratch/wine32.log"
  [ -x "$loader" ] || install_packages wine wine64 || fail "could not install wine wine64"
fi
[ -f "$archive" ] || fail "$archive is not built (make windows)"
command -v unzip > /dev/null || install_packages unzip || fail "could not install unzip"
command -v objdump > /dev/null || install_packages binutils || fail "could not install binutils"

# The 32-bit archive is checked even where only its twin runs: every program in
# it is a 32-bit Windows program.
[ -f "$1" ] || fail "$1 is not built (make windows)"
mkdir -p "$scratch/win32"
unzip -q "$1" -d "$scratch/win32" || fail "cannot unzip $1"
for program in "$scratch"/win32/*.exe; do
  check "32-bit archive: ${program##*/} is a 32-bit Windows program" "file format pei-i386" \
    "$(objdump -f "$program" | grep -o 'file format .*')"
done

# A fresh prefix, so that nothing of an earlier wine set-up is used.
export WINEPREFIX="$scratch/prefix" WINEDEBUG=-all
if ! "$loader" wineboot -i > "$scratch/wineboot.log" 2>&1 < /dev/null || [ ! -d "$WINEPREFIX/dosdevices" ]; then
  cat "$scratch/wineboot.log"
  fail "wine did not start"
fi
# Drive A: is the unzipped archive, as a user's folder given the letter with subst.
mkdir -p "$scratch/drive-a"
unzip -q "$archive" -d "$scratch/drive-a" || fail "cannot unzip $archive"
exe="$scratch/drive-a/ledgerine.exe"
[ -f "$exe" ] || fail "$archive holds no ledgerine.exe"
ln -sfn "$scratch/drive-a" "$WINEPREFIX/dosdevices/a:"
# PRN is a FIFO whose one reader keeps every job, in order. The reader holds it
# open for writing too, so it is always there for the next job and never sees
# an end between jobs.
mkfifo "$scratch/printer"
ln -sfn "$scratch/printer" "$WINEPREFIX/dosdevices/prn"
cat <> "$scratch/printer" > "$scratch/printed" 2>/dev/null &
reader=$!

# The POSIX program is checked byte for byte by the test suite; the Windows one
# must match it. Each input runs on both, on identical lists: the same screen (the
# Windows console's CR LF read as LF), exit status and list after it.
mkdir -p "$scratch/posix"
same_as_posix() {  # name input
  local windows posix
  windows=$(cd "$scratch" && printf '%b' "$2" | timeout 60 "$loader" "$exe" 2>>"$scratch/errors" | tr -d '\r'; echo "[${PIPESTATUS[1]}]")
  # No spooler on PATH: the printed bytes are checked on PRN below.
  # The Windows console speaks the list's code page: the POSIX program under the
  # C locale passes the same bytes.
  posix=$(cd "$scratch/posix" && printf '%b' "$2" | LC_ALL=C PATH=/nonexistent "$posix_program" 2>>"$scratch/errors"; echo "[$?]")
  check "$1: screen and status" "$posix" "$windows"
  check "$1: the list after it" "$(list_bytes "$scratch/posix")" "$(list_bytes "$scratch/drive-a")"
}
list_bytes() {  # folder
  if [ -e "$1/Maillist.dat" ]; then od -c < "$1/Maillist.dat"; else echo "no list"; fi
}

for text in LICENSE.txt README.txt; do
  check "archive: $text has CR LF line ends" 0 "$(grep -c -v $'\r$' "$scratch/drive-a/$text")"
done

same_as_posix "missing data file" 'd\nq\n'
# The demo list, made by the POSIX program: one file format for both.
seed_demo_list "$scratch/posix" "$posix_program"
cp "$scratch/posix/Maillist.dat" "$scratch/drive-a/Maillist.dat"
same_as_posix "list and search" 'd\ns\nSmith\nq\n'
same_as_posix "entry" 'e\nLee\nKim\n1 Bay St\nToronto\nON\nM5J2N\n416-555-0100\n2010 Van\nd\nq\n'
# Code page 850 bytes, typed and stored as they are (\x82 is é, \x93 ô).
same_as_posix "entry in the code page" 'e\nC\x93t\x82\nRen\x82e\n12 rue\nQu\x82bec\nQC\nG1R4P\n418\n1990\nq\n'
same_as_posix "listed after a restart" 'd\ns\nC\x93t\x82\nq\n'
# Line ends: CR LF is a newline; a CR before it, or anywhere else, is part of the line.
same_as_posix "CR LF line ends" 's\r\nSmith\r\nq\r\n'
same_as_posix "a CR before CR LF" 's\nSmith\r\r\nq\n'
same_as_posix "lone CRs" 's\n\rSmith\ns\nSm\rith\nq\n'

# The exporter from the archive writes the same bytes as the POSIX one after the
# UTF-8 byte-order mark: its CR LF row ends are not turned into CR CR LF on the
# way out, and the accented names are the same UTF-8.
check "export: the byte-order mark, then the CSV of the POSIX build, byte for byte" \
  "$(cd "$scratch/drive-a" && { printf '\xEF\xBB\xBF'; "${posix_program%/*}/ledgerine-export"; } | od -c)" \
  "$(cd "$scratch" && timeout 60 "$loader" "$scratch/drive-a/ledgerine-export.exe" 2>>"$scratch/errors" | od -c)"

# Its vCards are the POSIX build's, byte for byte, with no byte-order mark on
# either; and with --split into a folder on A: (named the Windows way, with a
# backslash at its end), each card's file is.
check "export: the vCards of the POSIX build, byte for byte" \
  "$(cd "$scratch/drive-a" && "${posix_program%/*}/ledgerine-export" --format vcard | od -c)" \
  "$(cd "$scratch" && timeout 60 "$loader" "$scratch/drive-a/ledgerine-export.exe" --format vcard 2>>"$scratch/errors" | od -c)"
card_files() {  # folder: each file's name and bytes
  (cd "$1" && for card in .* *; do [ -f "$card" ] && { echo "$card"; od -c "$card"; }; done)
}
mkdir "$scratch/posix-cards" "$scratch/drive-a/cards"
posix_said=$(cd "$scratch/drive-a" && "${posix_program%/*}/ledgerine-export" --format vcard --split "$scratch/posix-cards"; echo "[$?]")
windows_said=$(cd "$scratch" && timeout 60 "$loader" "$scratch/drive-a/ledgerine-export.exe" --format vcard --split 'a:\cards\' \
  2>>"$scratch/errors"; echo "[$?]")
check "export: --split says nothing, status 0" "[0] [0]" "$posix_said $windows_said"
check "export: --split, the POSIX build's card files" "$(card_files "$scratch/posix-cards")" "$(card_files "$scratch/drive-a/cards")"
check "export: --split, the cards of the one file" "$(grep -c BEGIN:VCARD <(cat "$scratch"/posix-cards/*))" \
  "$(cd "$scratch/drive-a" && "${posix_program%/*}/ledgerine-export" --format vcard | grep -c BEGIN:VCARD)"
rm -r "$scratch/drive-a/cards"

# The importer from the archive, fed the POSIX exporter's CSV, makes the list the
# POSIX importer makes, which is the list the CSV came from.
check "archive: holds ledgerine-import.exe" yes "$([ -f "$scratch/drive-a/ledgerine-import.exe" ] && echo yes)"
(cd "$scratch/drive-a" && "${posix_program%/*}/ledgerine-export") > "$scratch/list.csv"
mv "$scratch/drive-a/Maillist.dat" "$scratch/list-before"
: > "$scratch/drive-a/Maillist.dat"
mkdir -p "$scratch/imported" && : > "$scratch/imported/Maillist.dat"
posix_said=$(cd "$scratch/imported" && "${posix_program%/*}/ledgerine-import" < "$scratch/list.csv"; echo "[$?]")
windows_said=$(cd "$scratch" && timeout 60 "$loader" "$scratch/drive-a/ledgerine-import.exe" < "$scratch/list.csv" \
  2>>"$scratch/errors" | tr -d '\r'; echo "[${PIPESTATUS[0]}]")
check "import: what it says, and its status" "$posix_said" "$windows_said"
check "import: the list of the POSIX importer" "$(list_bytes "$scratch/imported")" "$(list_bytes "$scratch/drive-a")"
check "import: the list the CSV came from" "$(od -c < "$scratch/list-before")" "$(list_bytes "$scratch/drive-a")"

# Fed the POSIX exporter's vCards, it says what the POSIX importer says and makes
# the list the cards came from again.
mkdir "$scratch/card-source" "$scratch/card-imported"
cp "$scratch/list-before" "$scratch/card-source/Maillist.dat"
(cd "$scratch/card-source" && "${posix_program%/*}/ledgerine-export" --format vcard) > "$scratch/list.vcf"
: > "$scratch/drive-a/Maillist.dat"
: > "$scratch/card-imported/Maillist.dat"
posix_said=$(cd "$scratch/card-imported" && "${posix_program%/*}/ledgerine-import" < "$scratch/list.vcf"; echo "[$?]")
windows_said=$(cd "$scratch" && timeout 60 "$loader" "$scratch/drive-a/ledgerine-import.exe" < "$scratch/list.vcf" \
  2>>"$scratch/errors" | tr -d '\r'; echo "[${PIPESTATUS[0]}]")
check "import: the vCards, what it says, and its status" "$posix_said" "$windows_said"
check "import: the vCards, the list they came from" "$(od -c < "$scratch/list-before")" "$(list_bytes "$scratch/drive-a")"

# A spreadsheet's plain CSV, in 1252 (\xe9 is é, \xc9 É, \x80 €): both read it
# in 1252, and the euro sign becomes ?; the check says so.
{ printf 'Last Name,First Name,Address,City,Province Code,Postal Code,Telephone Number,Year & Model\r\n'
  printf '%s\r\n' $'Gagn\xe9,Ren\xe9e,12 rue Sainte-Th\xe9r\xe8se,Montr\xe9al,QC,H2X 1K9,,\x80' $'L\xc9VESQUE,,,L\xc9VIS,QC,,,'
} > "$scratch/excel.csv"
: > "$scratch/drive-a/Maillist.dat"
: > "$scratch/card-imported/Maillist.dat"
for arguments in --check ""; do
  posix_said=$(cd "$scratch/card-imported" && "${posix_program%/*}/ledgerine-import" $arguments < "$scratch/excel.csv"; echo "[$?]")
  windows_said=$(cd "$scratch" && timeout 60 "$loader" "$scratch/drive-a/ledgerine-import.exe" $arguments < "$scratch/excel.csv" \
    2>>"$scratch/errors" | tr -d '\r'; echo "[${PIPESTATUS[0]}]")
  check "import: a CSV in 1252 ${arguments:-added}, what it says, and its status" "$posix_said" "$windows_said"
done
check "import: a CSV in 1252, read as 1252" "1" "$(grep -c 'read as cp1252' <<< "$(cd "$scratch/card-imported" &&
  "${posix_program%/*}/ledgerine-import" --check < "$scratch/excel.csv")")"
check "import: a CSV in 1252, the list of the POSIX importer" "$(list_bytes "$scratch/card-imported")" \
  "$(list_bytes "$scratch/drive-a")"
# The demo list again, for the print below.
cp "$scratch/list-before" "$scratch/drive-a/Maillist.dat"

same_as_posix "print" 'p\nSmith\nq\n'
printed=$(printf '%s' "${demo_smith_jobs[@]}" | sed 's/$/\r/'; echo .)
printed=${printed%.}
# The reader may still be copying the last job.
for _ in $(seq 50); do
  [ "$(stat -c %s "$scratch/printed" 2>/dev/null || echo 0)" -ge "${#printed}" ] && break
  sleep 0.2
done
check "print: the printer's bytes" "$printed." "$(cat "$scratch/printed"; echo .)"
check "nothing on standard error" "" "$(cat "$scratch/errors")"

# The console's code page: console_code_page_check sets the console to 863 or
# 65001, types into it, runs the program and reads the code pages and the list
# after it (its report: a line a case). Wine gives a program a console only when
# it is started from a terminal: script(1) is that terminal.
console_check="$(cd "$(dirname "$archive")" && pwd)/console_code_page_check.exe"
[ -f "$console_check" ] || fail "$console_check is not built (make windows)"
command -v script > /dev/null || fail "script(1) is missing (package bsdutils)"
(cd "$scratch" && timeout 600 script -qec "'$loader' '$console_check' 'A:\\ledgerine.exe' 'A:\\Maillist.dat' \
  2> '$scratch/console-report'" /dev/null < /dev/null > "$scratch/console-screen")
console_status=$?
sed 's/^/  console: /' "$scratch/console-report"
check "console: the code page check ran every case and ended well" "0 yes" \
  "$console_status $([ -s "$scratch/console-report" ] && echo yes)"
check "console: every case ok" "" "$(grep -v '^ok ' "$scratch/console-report")"

summary
