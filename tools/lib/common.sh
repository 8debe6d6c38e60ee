# Sourced by every script here, directly or through host.sh and apt.sh. Functions only.

# tw6_as_root COMMAND...: COMMAND as root, through sudo unless this is root already. Variables
# set before the call (VAR=x tw6_as_root ...) reach COMMAND as they would reach sudo.
tw6_is_root() { [ "$(id -u)" -eq 0 ]; }
tw6_as_root() { if tw6_is_root; then "$@"; else sudo "$@"; fi; }
# Whether tw6_as_root can work without asking: root, or sudo that asks nothing.
tw6_sudo_asks_nothing() { command -v sudo >/dev/null && sudo -n true 2>/dev/null; }
tw6_can_be_root() { tw6_is_root || tw6_sudo_asks_nothing; }

# tw6_trap_errors LEAD [END]: a failing command stops the script with the line
# LEAD"COMMAND" exited with CODE END (END: " (line N)" unless given), in functions and subshells
# too where the script sets errtrace; then tw6_after_error, if the script has one.
tw6_trap_errors() {
  tw6_error_lead=$1 tw6_error_end=${2-}
  trap 'tw6_report_error $? "$BASH_COMMAND" "$LINENO"' ERR
}
tw6_report_error() {
  echo "$tw6_error_lead\"$2\" exited with $1${tw6_error_end:- (line $3)}" >&2
  if declare -F tw6_after_error >/dev/null; then tw6_after_error; fi
}

# tw6_end_servers PREFIX...: ends each prefix's Wine server, if one runs; from EXIT traps, so
# that no server outlives its script.
tw6_end_servers() {
  local prefix
  for prefix in "$@"; do WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; done
}

# tw6_windows_path PATH: the Unix path as Wine's drive Z: shows it.
tw6_windows_path() { echo "Z:${1//\//\\}"; }

# Whether this host executes 32-bit x86 code: a 93-byte static i386 ELF program (exit(42)
# through int 0x80) needs neither libc6:i386 nor Wine, so the check holds before and after
# tools/setup. Sets tw6_why to what the attempt gave.
tw6_runs_i386() {
  local dir file code out
  for dir in "${TMPDIR:-/tmp}" "${here:?}/build"; do
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
