# The platform families the tests run in, one Wine prefix each; sourced by tools/prefix,
# cmake/wine-exec, tools/test and tools/run.
#   name      WINEARCH  winecfg version  the program sees
#   win64     win64     win10            64-bit Windows 10, under WOW64: port carrier, IFS64.sys,
#                                        64-bit registry view, common documents
#   xp32      win32     winxp            32-bit XP: pipe carrier, IFS32.sys, common app data
#   win10-32  win32     win10            32-bit Windows 10: port carrier, IFS32.sys, one view,
#                                        common documents
#   xp64      win64     winxp64          XP x64, under WOW64: port carrier, IFS64.sys, 64-bit
#                                        view, common app data
#   w2k32     win32     win2k            32-bit Windows 2000: pipe carrier, IFS32.sys, one view,
#                                        common app data, the listing class of 2000, no sc.exe
tw6_families=(win64 xp32 win10-32 xp64 w2k32)

tw6_family_known() {
  local f
  for f in "${tw6_families[@]}"; do [ "$f" = "$1" ] && return 0; done
  return 1
}

tw6_family_arch() {
  case $1 in xp32 | win10-32 | w2k32) echo win32 ;; *) echo win64 ;; esac
}

tw6_family_version() {
  case $1 in win64 | win10-32) echo win10 ;; xp32) echo winxp ;; xp64) echo winxp64 ;; w2k32) echo win2k ;; esac
}

# What a ready prefix was made as: a prefix made otherwise (an older recipe) is made anew.
tw6_family_recipe() {
  echo "$(tw6_family_arch "$1") $(tw6_family_version "$1")$([ "$1" = w2k32 ] && echo " sc-in-support-tools")"
}
