#!/usr/bin/env bash
# tools/setup against apt-get and dpkg stand-ins on a PATH of their own: a registry mid-sync,
# unmet dependencies across suites, and an install that cannot succeed. No network, no root.
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tw6-setup-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
bin=$work/bin
mkdir -p "$bin"
for tool in bash env id mktemp sed sort paste grep tail rm cat dirname; do
  ln -s "$(command -v "$tool")" "$bin/$tool"
done
cat >"$bin/dpkg" <<'STANDIN'
#!/bin/bash
echo "dpkg $*" >>"$STANDIN_LOG"
case $1 in --print-foreign-architectures) ;; -s) exit 1 ;; esac
exit 0
STANDIN
cat >"$bin/sudo" <<'STANDIN'
#!/bin/bash
exec "$@"
STANDIN
# STANDIN_INSTALLS: one answer per install call, in turn: ok, unmet or broken.
cat >"$bin/apt-get" <<'STANDIN'
#!/bin/bash
echo "apt-get $*" >>"$STANDIN_LOG"
case " $* " in
  *" update "*)
    [ "$STANDIN_UPDATE" = ok ] && exit 0
    echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100 ;;
esac
calls=$(grep -c "^apt-get install" "$STANDIN_LOG")
answers=($STANDIN_INSTALLS)
case ${answers[$((calls - 1))]:-broken} in
  ok) exit 0 ;;
  unmet)
    echo "The following packages have unmet dependencies:"
    echo " libz1g:i386 : Depends: zlib1g (= 1:1.2.13.dfsg-1) but 1:1.2.13.dfsg-1+deb12u1 is to be installed"
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100 ;;
  *)
    echo "E: Unable to locate package wixl"
    exit 100 ;;
esac
STANDIN
chmod +x "$bin"/dpkg "$bin"/sudo "$bin"/apt-get
echo "VERSION_CODENAME=testworm" >"$work/os-release"
# The pinned osslsigncode as already unpacked in a cache of the test's own: the machine's cache
# (or its lack) must not decide the cases.
. "$here/tools/lib/osslsigncode.sh"
pinned=$work/cache/tw6-tools/osslsigncode-$tw6_osslsigncode_pin/usr/bin
mkdir -p "$pinned"
printf '#!/bin/bash\n' >"$pinned/osslsigncode"
chmod +x "$pinned/osslsigncode"

failures=0
# Runs tools/setup with the stand-ins; sets $out, $code and $log.
run_setup() {
  log=$work/calls
  : >"$log"
  out=$(PATH=$bin STANDIN_LOG=$log STANDIN_UPDATE=$1 STANDIN_INSTALLS=$2 \
    TW6_OS_RELEASE=$work/os-release TMPDIR=$work XDG_CACHE_HOME=$work/cache bash "$here/tools/setup" 2>&1) && code=0 || code=$?
}
expect() {
  local what=$1
  shift
  if ! "$@"; then
    echo "setup_test: FAILED: $what" >&2
    echo "--- output (exit code $code):" >&2
    echo "$out" >&2
    echo "--- calls:" >&2
    cat "$log" >&2
    failures=$((failures + 1))
  fi
}
has() { grep -q -e "$1" <<<"$out"; }
lacks() { ! grep -q -e "$1" <<<"$out"; }
never_called() { ! grep -q -e "$1" "$log"; }
installs() { [ "$(grep -c '^apt-get install' "$log")" = "$1" ]; }

run_setup fail "ok"
expect "a failed update goes on to the install" [ "$code" = 0 ]
expect "the warning names the failed index" has "apt-get update failed (exit code 100) for http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz; installing"
expect "the update is retried by apt" grep -q "^apt-get update .*Acquire::Retries=3" "$log"
expect "one install" installs 1
expect "an install that worked keeps the architecture" never_called "remove-architecture"

run_setup fail "unmet ok"
expect "the main suite's retry succeeds" [ "$code" = 0 ]
expect "the retry says so" has "trying again with the main suite's versions (-t testworm)"
expect "the retry takes the codename" grep -q "^apt-get install .*-t testworm .*wine32" "$log"
expect "two installs" installs 2

run_setup fail "unmet unmet"
expect "a failing retry fails setup" [ "$code" != 0 ]
expect "apt's own error is shown" has "E: Unable to correct problems, you have held broken packages."
expect "the user is told what to do" has "run tools/setup again in a few minutes"
expect "never a bare exit code" lacks "exited with 100"
expect "a failed install takes back the architecture it added" grep -q "^dpkg --remove-architecture i386" "$log"

run_setup ok "broken"
expect "a failure other than unmet dependencies is not retried" installs 1
expect "it fails with apt's error" [ "$code" != 0 ]
expect "apt's error is shown" has "E: Unable to locate package wixl"
expect "no update warning when the update worked" lacks "apt-get update failed"

[ "$failures" = 0 ] && echo "setup_test: 4 cases passed" || exit 1
