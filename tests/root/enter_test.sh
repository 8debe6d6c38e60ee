#!/usr/bin/env bash
# tools/root/enter against what Wine needs of a root and what a run must not leave behind:
# one run in the root probes it, the host checks what is left after.
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
mark=tw6-enter-test-$$-$RANDOM
key=$(sha256sum "$here/tools/root/recipe" | cut -c1-16)
image=${XDG_CACHE_HOME:-${HOME:-/var/tmp}/.cache}/tw6-root/$key
failures=0
fail() { echo "enter_test: FAILED: $*" >&2; failures=$((failures + 1)); }

# The probe prints one "name value" line per fact and leaves a process, files in /tmp, /dev/shm
# and the root's /usr behind, then ends with 7.
# shellcheck disable=SC2016
probe='
echo "pidns $(readlink /proc/self/ns/pid)"
echo "uid $(id -u)"
echo "owner $(stat -c %u "$2")"
echo "hosts $(getent hosts "$(hostname)" >/dev/null && echo resolves)"
echo "pts $([ -c /dev/pts/ptmx ] && echo yes)"
echo "shm $(stat -f -c %T /dev/shm)"
echo "build $(stat -c %d:%i "$2/build")"
echo "cwd $PWD"
echo "in $TW6_IN_ROOT"
: >"/tmp/$1" && : >"/dev/shm/$1"
touch "/usr/$1" 2>/dev/null || true
(exec -a "$1" sleep 600) </dev/null >/dev/null 2>&1 &
exit 7
'
# The root is made, where it is not yet, with its lines on the terminal: minutes, not silence.
"$here/tools/root/enter" true || { echo "enter_test: FAILED: the root cannot be entered (above)" >&2; exit 1; }
out=$(cd "$here/tools" && "$here/tools/root/enter" bash -c "$probe" probe "$mark" "$here" 2>&1)
code=$?
fact() { sed -n "s/^$1 //p" <<<"$out"; }

[ "$code" = 7 ] || fail "the command's exit code comes back (got $code): $out"
[ "$(fact pidns)" != "$(readlink /proc/self/ns/pid)" ] || fail "the run has a PID namespace of its own"
# In a user namespace the owner has another id than outside: compared as the root sees it.
[ "$(fact uid)" = "$(fact owner)" ] || fail "the run is the work tree's owner (got $(fact uid), the owner $(fact owner))"
[ "$(fact hosts)" = resolves ] || fail "the host name resolves in the root"
[ "$(fact pts)" = yes ] || fail "/dev/pts is there in the root"
[ "$(fact shm)" = tmpfs ] || fail "/dev/shm is a tmpfs in the root"
[ "$(fact build)" = "$(stat -c %d:%i "$here/build-root")" ] || fail "the root's build/ is the tree's build-root/"
[ "$(fact cwd)" = "$here/tools" ] || fail "the caller's folder is kept (got $(fact cwd))"
[ "$(fact in)" = 1 ] || fail "TW6_IN_ROOT is set in the root"
[ ! -e "/tmp/$mark" ] || fail "the root's /tmp is its own"
[ ! -e "/dev/shm/$mark" ] || fail "the root's /dev/shm is its own"
[ ! -e "$image/usr/$mark" ] || fail "the cached root is unchanged by a run"
! pgrep -f "^$mark" >/dev/null || fail "a process left by the run ends with it"
rm -f "/tmp/$mark" "/dev/shm/$mark" "$image/usr/$mark" 2>/dev/null

[ "$failures" = 0 ] && echo "enter_test: the way into the root holds" || exit 1
