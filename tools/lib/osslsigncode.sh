# Sourced by tools/setup, tools/sign and the signing test: the osslsigncode of Debian 12's main
# suite, pinned. A host with another one installed (bookworm-backports carries 2.9) keeps it:
# the pinned package is fetched (not installed) into the user's cache and unpacked there.
tw6_osslsigncode_pin=2.5-4
tw6_osslsigncode_cache=${XDG_CACHE_HOME:-$HOME/.cache}/tw6-tools/osslsigncode-$tw6_osslsigncode_pin

# Sets tw6_osslsigncode_bin to the installed one when it is the pinned version, else to the
# unpacked one, and tw6_osslsigncode_why to one line saying which and why; fails when neither.
tw6_osslsigncode() {
  local want=${tw6_osslsigncode_pin%-*} have=""
  have=$(osslsigncode --version 2>/dev/null | awk 'NR == 1 { sub(/,$/, "", $2); print $2 }') || true
  if [ "$have" = "$want" ]; then
    tw6_osslsigncode_why="osslsigncode $want: the installed one, the pinned version"
    tw6_osslsigncode_bin=$(command -v osslsigncode)
  elif [ -x "$tw6_osslsigncode_cache/usr/bin/osslsigncode" ]; then
    tw6_osslsigncode_why="osslsigncode $want from $tw6_osslsigncode_cache: the installed one is ${have:-missing}, not the pinned $want"
    tw6_osslsigncode_bin=$tw6_osslsigncode_cache/usr/bin/osslsigncode
  else
    tw6_osslsigncode_why="no osslsigncode $want (the installed one is ${have:-missing}): run tools/setup"
    return 1
  fi
}

# Fetches and unpacks the pinned package into the cache unless it is there or installed;
# says whether its shared libraries resolve on this host.
tw6_osslsigncode_fetch() {
  local who=$1 deb missing out
  tw6_osslsigncode && return 0
  mkdir -p "$tw6_osslsigncode_cache.part"
  # apt's own lines only when it fails: as root it also warns that it fetches unsandboxed.
  out=$(cd "$tw6_osslsigncode_cache.part" && apt-get download -q "osslsigncode=$tw6_osslsigncode_pin" 2>&1) ||
    { echo "$out" >&2; echo "$who: could not fetch osslsigncode $tw6_osslsigncode_pin (apt-get download)" >&2; return 1; }
  deb=$(ls "$tw6_osslsigncode_cache.part"/osslsigncode_*.deb)
  dpkg-deb -x "$deb" "$tw6_osslsigncode_cache.part"
  rm -rf "$tw6_osslsigncode_cache"
  mv "$tw6_osslsigncode_cache.part" "$tw6_osslsigncode_cache"
  missing=$(ldd "$tw6_osslsigncode_cache/usr/bin/osslsigncode" | grep 'not found' || true)
  if [ -n "$missing" ]; then
    echo "$who: osslsigncode $tw6_osslsigncode_pin lacks libraries on this host:" >&2
    echo "$missing" >&2
    return 1
  fi
  echo "$who: osslsigncode $tw6_osslsigncode_pin unpacked into $tw6_osslsigncode_cache" >&2
}
