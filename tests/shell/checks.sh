# What the shell checks (CUPS, wine, install) share: failing with a reason, the
# counted comparisons and their summary, the program's own texts from
# tests/data/program_texts.tsv, and the demo list. Set checks_name, then source.
checks_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
checks_passed=0
checks_failed=0

# The check cannot run at all: that fails it, saying why.
fail() {  # reason
  echo "$checks_name: cannot run the check: $1"
  exit 1
}

# Counts one comparison; a mismatch is shown as a diff of the bytes.
check() {  # name expected actual
  if [ "$2" == "$3" ]; then
    checks_passed=$((checks_passed + 1))
  else
    checks_failed=$((checks_failed + 1))
    echo "FAILED: $1"
    diff <(printf '%s' "$2" | od -c) <(printf '%s' "$3" | od -c) | head -n 20
  fi
}

# The last line of a run; its status is the script's.
summary() {
  echo "$checks_name: $checks_passed passed, $checks_failed failed"
  [ "$checks_failed" -eq 0 ]
}

# Sets variable VAR to the text NAME, byte for byte (a line read whole, so no
# space, tab or newline is lost); the COUNT-th of that name for the texts that
# come once a field (prompt, too_long).
program_text() {  # var name [count]
  local wanted=${3:-1} seen=0 line
  while IFS= read -r line || [ -n "$line" ]; do
    [ "${line%%$'\t'*}" == "$2" ] || continue
    seen=$((seen + 1))
    if [ "$seen" -eq "$wanted" ]; then
      line=${line#*$'\t'}
      printf -v "$1" '%s' "${line//\\n/$'\n'}"
      return 0
    fi
  done < "$checks_top/tests/data/program_texts.tsv"
  fail "tests/data/program_texts.tsv has no text $2 number $wanted"
}

# The demo list's two Smiths as each is printed, in list order, with LF line
# ends (the printer receives CR LF).
demo_smith_jobs=($'Smith  John\n12 Main St  Ottawa\nON   K1A 0B1\n555-1234\n1995 Coupe\n'
                 $'Smith  Alice\n300 Portage Ave  Winnipeg\nMB   R3C 4T3\n204-555-0177\n2004 Hatchback\n')

# Makes FOLDER/Maillist.dat the demo list: the sample customers entered through
# PROGRAM's own Enter command into an empty list.
seed_demo_list() {  # folder program
  : > "$1/Maillist.dat"
  (cd "$1" && "$2" < "$checks_top/demo/sample_entries.txt" > /dev/null) || fail "$2 could not enter the demo list"
}
