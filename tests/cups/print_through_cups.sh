#!/usr/bin/env bash
# Prints through the real spooler with the real `lp`: two matches give exactly
# two jobs of five CR LF lines, no match gives none. Usage: print_through_cups.sh PROGRAM
set -uo pipefail
program=$(readlink -f "$1")
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
folder=/var/spool/ledgerine-jobs

bash "$here/setup_cups.sh"
case $? in
  0) ;;
  77) exit 0 ;;
  *) echo "CUPS set-up failed"; exit 1 ;;
esac

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
: > "$scratch/Maillist.dat"
(cd "$scratch" && "$program" < "$top/demo/sample_entries.txt" > /dev/null)
rm -f "$folder"/*

passed=0
failed=0
check() {  # name expected actual
  if [ "$2" == "$3" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1"; printf 'expected: %q\nactual:   %q\n' "$2" "$3"; fi
}
wait_for_queue() {
  for _ in $(seq 300); do
    [ -z "$(lpstat -o 2>/dev/null)" ] && lpstat -r 2>/dev/null | grep -q 'is running' && return 0
    sleep 0.1
  done
  echo "the queue did not empty"
}
jobs_kept() { ls "$folder" | wc -l; }

menu=$'\n##### MAIN MENU #####\n\n[D]isplay All Names\n[S]earch For A Record\n[E]nter A New Record\n[P]rint a Record\n[Q]uit\nPress d,s,e,p,q To Continue\n'
quiet="${menu}Please Enter The Last Name of the Customer"$'\n'"${menu}Thanks For Using Ledgerine"

screen=$(cd "$scratch" && printf 'p\nSmith\nq\n' | "$program" 2> "$scratch/errors"; echo .)
check "the screen says nothing of the printer" "$quiet." "$screen"
check "nothing on standard error" "" "$(cat "$scratch/errors")"
wait_for_queue
check "two jobs" 2 "$(jobs_kept)"
first=$(ls "$folder" | head -1)
second=$(ls "$folder" | tail -1)
check "first job, byte for byte" \
  "$(printf 'Smith  John\r\n12 Main St  Ottawa\r\nON   K1A0B\r\n555-1234\r\n1995 Coupe\r\n' | od -c)" "$(od -c < "$folder/$first")"
check "second job, byte for byte" \
  "$(printf 'Smith  Alice\r\n300 Portage Ave  Winnipeg\r\nMB   R3C4T\r\n204-555-0177\r\n2004 Hatchback\r\n' | od -c)" "$(od -c < "$folder/$second")"

(cd "$scratch" && printf 'p\nNobody\nq\n' | "$program" > /dev/null)
wait_for_queue
check "no match prints nothing" 2 "$(jobs_kept)"

echo "cups: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
