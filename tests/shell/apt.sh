# Installing from Debian's archive on a machine whose mirror may be mid-sync.
# The index is fetched up to three times, a minute apart; a fetch that still
# fails is no failure by itself, as the index already on the machine may serve.
# Only an install that fails fails, and it names what it could not install.
# The index is fetched once a run, however many installs follow. Source it;
# APT_RETRY_SECONDS sets the pause between fetches (60).

apt_index_fetched=
apt_update() {
  local try
  [ -n "$apt_index_fetched" ] && return 0
  apt_index_fetched=yes
  for try in 1 2 3; do
    apt-get update -qq && return 0
    if [ "$try" -lt 3 ]; then
      echo "apt-get update failed (try $try of 3); trying again in ${APT_RETRY_SECONDS:-60} s" >&2
      sleep "${APT_RETRY_SECONDS:-60}"
    fi
  done
  echo "apt-get update failed 3 times; installing from the package index already here" >&2
}

# Installs PACKAGE... with the options given before them (such as
# --no-install-recommends); says which could not be installed.
apt_install() {  # [apt-get option...] package...
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq "$@" && return 0
  echo "could not install: $*" >&2
  return 1
}
