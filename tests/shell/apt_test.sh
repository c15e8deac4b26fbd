#!/usr/bin/env bash
# The installs of CI and the checks, against an apt-get that fails as a mirror
# caught mid-sync does: the index is fetched again (once a run, however often
# it is asked for), a fetch that never succeeds still lets the install be
# tried, and only a failed install fails, naming it.
set -uo pipefail
checks_name=apt
source "$(dirname "$0")/checks.sh"
source "$(dirname "$0")/apt.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export APT_RETRY_SECONDS=0

# A stand-in apt-get: its update fails the first FAIL_UPDATES times, its
# install fails when FAIL_INSTALL is set; every call is logged.
mkdir -p "$scratch/bin"
cat > "$scratch/bin/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "$*" >> "$APT_LOG"
case " $* " in
  *" update "*) calls=$(grep -c update "$APT_LOG"); [ "$calls" -gt "$FAIL_UPDATES" ] ;;
  *" install "*) [ -z "${FAIL_INSTALL:-}" ] ;;
esac
STUB
chmod +x "$scratch/bin/apt-get"
PATH="$scratch/bin:$PATH"

# Each row: updates that fail, whether the install fails, the fetches expected,
# whether an install is tried, and the status of update then install.
while read -r failing install_fails fetches installs status; do
  : > "$scratch/log"
  said=$(APT_LOG="$scratch/log" FAIL_UPDATES=$failing FAIL_INSTALL=${install_fails#no} \
           bash -c 'source "$1"; apt_update && apt_update && apt_install --no-install-recommends wine32:i386' _ \
           "$(dirname "$0")/apt.sh" 2>&1)
  got=$?
  row="$failing failed fetches, install ${install_fails}"
  check "$row: fetches" "$fetches" "$(grep -c update "$scratch/log")"
  check "$row: installs tried" "$installs" "$(grep -c install "$scratch/log")"
  check "$row: status" "$status" "$got"
  if [ "$status" -ne 0 ]; then
    check "$row: names the package" "could not install: --no-install-recommends wine32:i386" "$(tail -n 1 <<< "$said")"
  fi
done <<'ROWS'
0 no 1 1 0
2 no 3 1 0
3 no 3 1 0
5 no 3 1 0
0 yes 1 1 1
3 yes 3 1 1
ROWS
summary
