# Sourced by the scripts that build or run Windows programs (through tools/lib/host.sh) and by
# tools/release, after they set $here. The host's own packages come first: where tools/setup
# cannot install a consistent set (a package registry mid-sync, an i386 index missing while
# the host has the security suite's libraries), where the host cannot execute 32-bit x86 code
# (the VM way, whose guest boots the root), or when asked with TW6_ROOT=1, the script runs
# again, whole, in the Debian root (tools/root/enter). TW6_ROOT=0 never takes it.

# tw6_root_or_host NAME ARGV...: returns on the host way; on the root way says so in one line
# and ends the shell with the run's exit code in the root.
tw6_root_or_host() {
  local name=${1#./} why="" host=0
  shift
  [ -z "${TW6_IN_ROOT:-}" ] || return 0
  case ${TW6_ROOT:-auto} in
    1) why="asked for with TW6_ROOT=1" ;;
    0) why="asked for with TW6_ROOT=0" host=1 ;;
    auto)
      # tw6_native_why: set where the caller has already chosen to run Wine here.
      if [ -z "${tw6_native_why:-}" ]; then
        if tw6_runs_i386; then
          tw6_native_why=$tw6_why
        else
          why="$tw6_why, and its builds run in the root, whose amd64 tools need none"
        fi
      fi
      if [ -z "$why" ]; then
        "$here/tools/setup" && why="$tw6_native_why, and the host has every package (tools/setup)" host=1 ||
          why="tools/setup could not install a consistent package set on this host (above); the root takes nothing from the host's packages"
      fi
      ;;
    *) echo "$name: TW6_ROOT must be 1, 0 or auto, not \"$TW6_ROOT\"" >&2; exit 2 ;;
  esac
  if [ "$host" = 1 ]; then
    echo "$name: runs on this host with the host's packages: $why" >&2
    return 0
  fi
  tw6_enter_root "$name" "runs in the Debian root (tools/root/enter): $why" native "$@"
}

# tw6_enter_root NAME LINE WAY ARGV...: prints "NAME: LINE", runs NAME again in the root with
# TW6_ROOT_WAY=WAY (native, or vm for a guest booted from the root) and ends the shell with its
# exit code.
tw6_enter_root() {
  local name=${1#./} line=$2 way=$3 code=0
  shift 3
  echo "$name: $line" >&2
  trap - ERR
  if [ "$name" = tools/test ]; then
    # The way in itself, checked before the suite runs through it.
    "$here/tests/root/enter_test.sh" || exit 1
  fi
  TW6_ROOT_WAY=$way "$here/tools/root/enter" "$here/$name" "$@" || code=$?
  exit "$code"
}
