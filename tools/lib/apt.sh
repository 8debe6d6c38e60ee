# Sourced by the scripts that install Debian packages (tools/setup, tools/vm/run), after they
# set $here to the work tree.
. "$here/tools/lib/common.sh"
#
# tw6_apt_install WHO PACKAGE...: installs the packages, surviving a package registry that is
# mid-sync. A failed index update is a warning (apt keeps the lists it had); an install that
# fails on unmet dependencies is tried once more with the release's main suite, since a missing
# security index for one architecture leaves the amd64 and i386 twins of a multi-arch library
# at different versions. Only if that fails too does it print apt's errors and what to do, and
# return non-zero. WHO starts each line it prints.
tw6_apt_install() {
  local who=$1
  shift
  local log code=0 failed codename
  log=$(mktemp "${TMPDIR:-/tmp}/tw6-apt.XXXXXX")

  tw6_as_root apt-get update -qq -o Acquire::Retries=3 >"$log" 2>&1 || code=$?
  if [ "$code" != 0 ]; then
    failed=$(sed -n 's/^[EW]: Failed to fetch \([^ ]*\).*/\1/p' "$log" | sort -u | paste -sd ' ' -)
    echo "$who: apt-get update failed (exit code $code) for ${failed:-an index apt did not name}; installing from the package lists there are" >&2
  fi

  if tw6_apt_get_install "$log" "$@"; then
    rm -f "$log"
    return 0
  fi
  if grep -q -e 'unmet dependencies' -e 'held broken packages' "$log"; then
    codename=$(. "${TW6_OS_RELEASE:-/etc/os-release}" && echo "${VERSION_CODENAME:-}") || codename=""
    if [ -n "$codename" ]; then
      echo "$who: unmet dependencies across the package lists; trying again with the main suite's versions (-t $codename)" >&2
      if tw6_apt_get_install "$log" -t "$codename" "$@"; then
        rm -f "$log"
        return 0
      fi
    fi
  fi
  echo "$who: installing ${*} failed; apt said:" >&2
  grep -e '^E:' -e 'Depends:' "$log" >&2 || tail -n 5 "$log" >&2
  echo "$who: check this machine's network and its package sources (/etc/apt/sources.list*); if a mirror is being synced, run $who again in a few minutes." >&2
  rm -f "$log"
  return 1
}

# One "apt-get install" of the packages; its output goes to the log given first.
tw6_apt_get_install() {
  local log=$1
  shift
  DEBIAN_FRONTEND=noninteractive tw6_as_root apt-get install -y -qq --no-install-recommends \
    -o Acquire::Retries=3 "$@" >"$log" 2>&1
}
