# Sourced by the scripts that run on the host (tools/run, tools/test, the benchmarks,
# tools/fuzz), after they set $here to the work tree. Says what failed when a script stops on an
# error, and, unless the script runs no Windows program (tw6_no_wine=1, set before), decides once
# whether Wine runs here (the native way) or in a virtual machine (the VM way) and says which and
# why in one line.
#
# TW6_BENCH=native|vm forces a way; unset or auto checks the host. TW6_IN_VM is set in the
# guest, where the script runs only its Wine part; TW6_IN_ROOT in the Debian root
# (tools/lib/root.sh), where the script runs whole.

tw6_name=${0#"$here/"}
tw6_argv=("$@")  # sourced without arguments, so these are the script's own

. "$here/tools/lib/common.sh"
# No script of ours stops without a word.
set -o errtrace
tw6_trap_errors "$tw6_name: stopped: "

# Whether this host executes 32-bit x86 code: a 93-byte static i386 ELF program (exit(42)
# through int 0x80) needs neither libc6:i386 nor Wine, so the check holds before and after
# tools/setup. Sets tw6_why to what the attempt gave.
tw6_runs_i386() {
  local dir file code out
  for dir in "${TMPDIR:-/tmp}" "$here/build"; do
    mkdir -p "$dir" 2>/dev/null || continue
    file=$(mktemp "$dir/tw6-i386.XXXXXX" 2>/dev/null) || continue
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x28\x00\x00\x00\x00\x00' >"$file"
    printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' >>"$file"
    printf '\x31\xdb\xb3\x2a\x31\xc0\x40\xcd\x80' >>"$file"
    chmod +x "$file"
    out=$( ("$file") 2>&1) && code=0 || code=$?
    rm -f "$file"
    # A folder mounted noexec says nothing about the processor: try the next one.
    [ "$code" = 126 ] && [[ $out == *"Permission denied"* ]] && continue
    case $code in
      42) tw6_why="this host executes 32-bit x86 code"; return 0 ;;
      126) tw6_why="this host cannot execute 32-bit x86 code (${out##*: })" ;;
      *) tw6_why="this host cannot execute 32-bit x86 code (a 32-bit program ended with $code)" ;;
    esac
    return 1
  done
  tw6_why="no folder lets a test program run (${TMPDIR:-/tmp} and build/ are noexec); taking the VM way"
  return 1
}

. "$here/tools/lib/root.sh"

# Sets TW6_WAY to native or vm and prints the line that says why. Where Wine runs on this host
# and the host cannot install its packages, the script runs again in the Debian root instead.
tw6_choose_way() {
  if [ -n "${TW6_IN_VM:-}" ] || [ -n "${TW6_IN_ROOT:-}" ]; then
    TW6_WAY=native
    export TW6_WAY
    return
  fi
  case ${TW6_BENCH:-auto} in
    native) TW6_WAY=native tw6_why="asked for with TW6_BENCH=native" ;;
    vm) TW6_WAY=vm tw6_why="asked for with TW6_BENCH=vm" ;;
    auto) if tw6_runs_i386; then TW6_WAY=native; else TW6_WAY=vm; fi ;;
    *) echo "$tw6_name: TW6_BENCH must be native, vm or auto, not \"$TW6_BENCH\"" >&2; exit 2 ;;
  esac
  if [ "$TW6_WAY" = native ]; then
    tw6_root_or_host "$tw6_name" "${tw6_argv[@]}"
    echo "$tw6_name: Wine runs on this host: $tw6_why" >&2
  else
    echo "$tw6_name: Wine runs in a virtual machine: $tw6_why" >&2
  fi
  export TW6_WAY
}

# Installs what is missing and builds everything, on the host only: the guest runs what the
# host built. With "quiet" the build's own lines are dropped.
tw6_build_on_host() {
  [ -z "${TW6_IN_VM:-}" ] || return 0
  "$here/tools/setup"
  (
    cd "$here"
    cmake --preset mingw-x86 >/dev/null
    if [ "${1:-}" = quiet ]; then
      cmake --build --preset mingw-x86 >/dev/null
    else
      cmake --build --preset mingw-x86
    fi
  )
}

# Runs a step that belongs to the host (installing, building, fuzzing); the guest skips it.
tw6_on_host() {
  [ -n "${TW6_IN_VM:-}" ] || "$@"
}

# On the VM way, the calling script runs again in the guest with its own arguments, where it
# skips the host's steps; this shell then ends with the guest's exit code.
tw6_rest_in_vm() {
  if [ "$TW6_WAY" = vm ] && [ -z "${TW6_IN_VM:-}" ]; then
    trap - ERR
    local code=0
    "$here/tools/vm/run" "$0" "${tw6_argv[@]}" || code=$?
    exit "$code"
  fi
}

# Benchmarks run in the guest say so before their figures.
tw6_bench_note() {
  [ -n "${TW6_IN_VM:-}" ] || return 0
  case ${TW6_VM_ACCEL:-} in
    tcg) echo "These figures come from an emulated machine (QEMU TCG, no hardware virtualization): compare them only with each other." ;;
    *) echo "These figures come from a virtual machine (QEMU with ${TW6_VM_ACCEL:-kvm}): compare them only with each other." ;;
  esac
}

# Where the kept test prefixes live: build/prefixes natively, the guest's own disk in the VM.
tw6_prefix_root() {
  echo "${TW6_PREFIX_ROOT:-$here/build/prefixes}"
}

[ -n "${tw6_no_wine:-}" ] || tw6_choose_way
