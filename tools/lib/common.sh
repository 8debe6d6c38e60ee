# Sourced by every script here, directly or through host.sh and apt.sh. Functions only.

# tw6_as_root COMMAND...: COMMAND as root, through sudo unless this is root already. Variables
# set before the call (VAR=x tw6_as_root ...) reach COMMAND as they would reach sudo.
tw6_is_root() { [ "$(id -u)" -eq 0 ]; }
tw6_as_root() { if tw6_is_root; then "$@"; else sudo "$@"; fi; }

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
