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

. "$here/tools/lib/root.sh"

# Sets TW6_WAY to native or vm and prints the one line that says which way and why: on this
# host with its own packages, in the Debian root where tools/setup cannot install a consistent
# set, or, where this host cannot execute 32-bit x86 code, the build in the Debian root and Wine
# in a virtual machine booted from that root. The last two run the script again, whole, there.
tw6_choose_way() {
  if [ -n "${TW6_IN_VM:-}" ]; then
    TW6_WAY=native
  elif [ -n "${TW6_IN_ROOT:-}" ]; then
    TW6_WAY=${TW6_ROOT_WAY:-native}
  else
    case ${TW6_BENCH:-auto} in
      native) TW6_WAY=native tw6_why="asked for with TW6_BENCH=native" ;;
      vm) TW6_WAY=vm tw6_why="asked for with TW6_BENCH=vm" ;;
      auto) if tw6_runs_i386; then TW6_WAY=native; else TW6_WAY=vm; fi ;;
      *) echo "$tw6_name: TW6_BENCH must be native, vm or auto, not \"$TW6_BENCH\"" >&2; exit 2 ;;
    esac
    if [ "$TW6_WAY" = native ]; then
      tw6_native_why=$tw6_why
      tw6_root_or_host "$tw6_name" "${tw6_argv[@]}"
    else
      if [ "${TW6_ROOT:-auto}" = 0 ]; then
        echo "$tw6_name: TW6_ROOT=0 does not fit the VM way: its guest boots the Debian root, and the build runs in that root" >&2
        exit 2
      fi
      tw6_enter_root "$tw6_name" "builds in the Debian root and runs Wine in a virtual machine booted from it: $tw6_why" vm "${tw6_argv[@]}"
    fi
  fi
  export TW6_WAY
}

# Installs what is missing and builds everything, outside the guest only: the guest runs what
# the root (or the host) built. With "quiet" the build's own lines are dropped.
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
# skips the steps of the host (here: of the root); this shell then ends with the guest's exit
# code.
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

if [ -n "${tw6_no_wine:-}" ]; then
  tw6_root_or_host "$tw6_name" "${tw6_argv[@]}"
else
  tw6_choose_way
fi
