#!/usr/bin/env bash
# Makes a CUPS queue that keeps every job's bytes, as the default destination.
# Idempotent: a second run changes nothing. Exits 77, with the reason on its own
# line, where CUPS cannot be had here.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
queue=ledgerine-test
folder=/var/spool/ledgerine-jobs

skip() { echo "skipped: $1"; exit 77; }

[ "$(id -u)" -eq 0 ] || skip "setting up a print queue needs root"
if ! command -v cupsd >/dev/null 2>&1 || ! command -v lp >/dev/null 2>&1; then
  { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends cups cups-client; } \
    > /dev/null 2>&1 || skip "the packages cups and cups-client could not be installed"
fi

backend=/usr/lib/cups/backend/keep-jobs
if ! cmp -s "$here/keep-jobs-backend" "$backend"; then
  install -m 0700 "$here/keep-jobs-backend" "$backend" || skip "cannot install a CUPS backend"
fi

scheduler_runs() { lpstat -r 2>/dev/null | grep -q 'is running'; }
if ! scheduler_runs; then
  cupsd || skip "cupsd would not start"
  for _ in $(seq 100); do scheduler_runs && break; sleep 0.1; done
  scheduler_runs || skip "cupsd did not come up"
fi

if ! lpstat -p "$queue" >/dev/null 2>&1; then
  # lpadmin warns that PPD drivers are deprecated; the queue still works.
  lpadmin -p "$queue" -E -v "keep-jobs:$folder" -P "$here/pass-through.ppd" 2>/dev/null || skip "lpadmin refused the queue"
fi
if ! lpstat -d 2>/dev/null | grep -q ": $queue\$"; then
  lpadmin -d "$queue" || skip "lpadmin refused the default destination"
fi
mkdir -p "$folder"
echo "CUPS: queue $queue, jobs kept in $folder"
