#!/usr/bin/env bash
# Prints through the real spooler with the real `lp`, on two queues of its own
# named to `lp` through LPDEST: one that keeps each job's bytes (two matches give
# exactly two jobs of five CR LF lines, no match gives none), and the PDF printer
# of cups-pdf, whose pages are read back as text (one page per record, holding
# its five lines and nothing else; an accented one, printed under a UTF-8
# locale, with its accents). The PDFs are kept in PAGES_FOLDER.
# Leaves CUPS as it found it: the queues, the backend and the cupsd it started
# are gone afterwards, and the default destination is never touched.
# Usage: print_through_cups.sh PROGRAM PAGES_FOLDER
set -uo pipefail
program=$(readlink -f "$1")
pages=$2
here=$(cd "$(dirname "$0")" && pwd)
checks_name=cups
source "$here/../shell/checks.sh"
raw_queue=ledgerine-raw
pdf_queue=ledgerine-pdf
jobs_folder=/var/spool/ledgerine-jobs
pdf_folder=/var/spool/ledgerine-pdf
backend=/usr/lib/cups/backend/keep-jobs
pdf_config=/etc/cups/cups-pdf-$pdf_queue.conf

[ "$(id -u)" -eq 0 ] || fail "setting up print queues needs root"
for tool in cupsd lp lpadmin lpstat pdftotext pdfinfo; do
  command -v "$tool" > /dev/null || fail "$tool is not installed (packages cups, cups-client, poppler-utils)"
done
[ -x /usr/lib/cups/backend/cups-pdf ] || fail "the cups-pdf backend is not installed (package printer-driver-cups-pdf)"

scratch=$(mktemp -d)
scheduler=
had_backend=no
[ -e "$backend" ] && had_backend=yes
cleanup() {
  lpadmin -x "$raw_queue" 2>/dev/null
  lpadmin -x "$pdf_queue" 2>/dev/null
  [ "$had_backend" = no ] && rm -f "$backend"
  rm -f "$pdf_config"
  rm -rf "$jobs_folder" "$pdf_folder" "$scratch"
  if [ -n "$scheduler" ]; then kill "$scheduler"; wait "$scheduler" 2>/dev/null; fi
}
trap cleanup EXIT

scheduler_runs() { lpstat -r 2>/dev/null | grep -q 'is running'; }
if ! scheduler_runs; then
  cupsd -f > "$scratch/cupsd.log" 2>&1 &
  scheduler=$!
  for _ in $(seq 100); do scheduler_runs && break; sleep 0.1; done
  scheduler_runs || { cat "$scratch/cupsd.log"; fail "cupsd did not come up"; }
fi

[ "$had_backend" = yes ] || install -m 0700 "$here/keep-jobs-backend" "$backend" || fail "cannot install the backend"
mkdir -p "$jobs_folder" "$pdf_folder"
printf 'Out %s\nAnonDirName %s\nLabel 1\n' "$pdf_folder" "$pdf_folder" > "$pdf_config"
# lpadmin warns that PPD drivers are deprecated; the queues still work. The
# cairo renderer keeps the text of the page readable (pdftotext).
lpadmin -p "$raw_queue" -E -v "keep-jobs:$jobs_folder" -P "$here/pass-through.ppd" 2>/dev/null ||
  fail "lpadmin refused the queue $raw_queue"
lpadmin -p "$pdf_queue" -E -v "cups-pdf:/$pdf_queue" -P /usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd \
  -o pdftops-renderer-default=pdftocairo 2>/dev/null || fail "lpadmin refused the queue $pdf_queue"

seed_demo_list "$scratch" "$program"
# Waits until the spooler has no job left and the folder holds `count` files.
wait_for_jobs() {  # folder count
  for _ in $(seq 600); do
    [ -z "$(lpstat -o 2>/dev/null)" ] && [ "$(ls "$1" | wc -l)" -ge "$2" ] && return 0
    sleep 0.1
  done
  echo "the spooler did not finish: $(lpstat -o 2>&1)"
}
# An accented customer, typed in the list's code page 850 (\x82 is é, \x8A è).
(cd "$scratch" && printf 'e\nGagn\x82\nRen\x82e\n12 rue Sainte-Th\x82r\x8Ase\nMontr\x82al\nQC\nH2X1K\n514-555-0142\n1998 Wagon\nq\n' |
  LC_ALL=C "$program" > /dev/null) || fail "could not enter the accented customer"
# Prints the records of a name through a queue, under a locale (C unless
# given); the screen and standard error.
print_on() {  # queue name [locale]
  (cd "$scratch" && printf 'p\n%s\nq\n' "$2" | LC_ALL=${3:-C} LPDEST=$1 "$program" 2> "$scratch/errors"; echo .)
}

program_text menu menu
program_text ask ask
program_text bye farewell
quiet="$menu$ask$menu$bye."

check "raw: the screen says nothing of the printer" "$quiet" "$(print_on "$raw_queue" Smith)"
check "raw: nothing on standard error" "" "$(cat "$scratch/errors")"
wait_for_jobs "$jobs_folder" 2
check "raw: two jobs" 2 "$(ls "$jobs_folder" | wc -l)"
index=0
for expected in "${demo_smith_jobs[@]}"; do
  index=$((index + 1))
  job=$(ls "$jobs_folder" | sed -n "${index}p")
  check "raw: job $index, byte for byte" "$(printf '%s' "${expected//$'\n'/$'\r\n'}" | od -c)" "$(od -c < "$jobs_folder/$job")"
done
print_on "$raw_queue" Nobody > /dev/null
wait_for_jobs "$jobs_folder" 2
check "raw: no match prints nothing" 2 "$(ls "$jobs_folder" | wc -l)"

check "pdf: the screen says nothing of the printer" "$quiet" "$(print_on "$pdf_queue" Smith)"
wait_for_jobs "$pdf_folder" 2
mkdir -p "$pages"
rm -f "$pages"/record-*.pdf
index=0
# cups-pdf names each file after its job number: job_N-...
for pdf in $(ls "$pdf_folder" | sort -t_ -k2 -n); do
  index=$((index + 1))
  cp "$pdf_folder/$pdf" "$pages/record-$index.pdf"
done
check "pdf: two printed files" 2 "$index"
index=0
for expected in "${demo_smith_jobs[@]}"; do
  index=$((index + 1))
  page="$pages/record-$index.pdf"
  check "pdf: record $index is one page" "Pages:           1" "$(pdfinfo "$page" 2>&1 | grep '^Pages:')"
  # The page is set at 10 characters an inch: a 7.2-point pitch reads back every space.
  check "pdf: record $index holds its five lines and nothing else" "$expected"$'\f.' \
    "$(pdftotext -layout -fixed 7.2 "$page" - 2>&1; echo .)"
done
# Under a UTF-8 locale the job goes out in UTF-8, which the spooler's text filter reads.
check "pdf: the screen says nothing of the printer, under a UTF-8 locale" "$quiet" "$(print_on "$pdf_queue" Gagné C.UTF-8)"
wait_for_jobs "$pdf_folder" 3
newest=$(ls "$pdf_folder" | sort -t_ -k2 -n | tail -n 1)
cp "$pdf_folder/$newest" "$pages/record-accented.pdf"
check "pdf: the accented record reads back with its accents" \
  $'Gagné  Renée\n12 rue Sainte-Thérèse  Montréal\nQC   H2X1K\n514-555-0142\n1998 Wagon\n\f.' \
  "$(pdftotext -layout -fixed 7.2 "$pages/record-accented.pdf" - 2>&1; echo .)"
echo "cups: printed pages kept in $pages"

summary
