; The product's NSIS installer with TW6Maint.exe. Builds with Debian's makensis (NSIS 3.08):
;   makensis -DVERSION=6.0.1 -DSOURCE=dist -DOUTFILE=TW6Setup.exe examples/TW6Maint.nsi
; SOURCE is the folder holding the product's files, relative to this script or absolute.
; -DSIGN='COMMAND' signs the setup and its uninstaller as they are written, COMMAND being run
; with the file's path appended (for example -DSIGN='tools/sign --file').
; Install, or upgrade over an installed version:  TW6Setup.exe /S
; Remove: Uninstall.exe /S [/REMOVEDATA]; /REMOVEDATA also deletes the product's data, and
; without /S the uninstaller asks. A script that must wait for the removal runs it in place and
; removes what is left itself (the running uninstaller cannot delete itself):
;   "DIR\Uninstall.exe" /S _?=DIR  then  del "DIR\Uninstall.exe"  and  rmdir "DIR"
;
; Exit codes of the setup and the uninstaller: 0 done, 3010 done but Windows must restart (an
; old driver that would not stop: then run the setup again after the restart), 2 failed (nothing of
; this version is left installed), 740 not run as an administrator, 1638 a newer version is
; installed (each also says so unless silent), 1 cancelled by the user.
; Exit codes of TW6Maint.exe: 0 after every normal run, whatever its steps achieved (a
; service that would not start, a process it could not end; a mistyped command word too): its
; own failures show only in their effects, never in the exit code. It ends with 1 only after
; an unexpected error, once a message box titled "Application Error" has been closed (in the
; user's session; where nobody sees the window station it shows none). ExecWait sets the
; error flag when the program could not be started at all (missing file, no elevation).

Unicode true
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh

!ifndef VERSION
  !error "VERSION is not defined: makensis -DVERSION=X.Y.Z ..."
!endif
!ifndef SOURCE
  !define SOURCE "..\dist"
!endif
!ifndef OUTFILE
  !define OUTFILE "TW6Setup.exe"
!endif
!ifdef SIGN
  !finalize '${SIGN} "%1"'
  !uninstfinalize '${SIGN} "%1"'
!endif
!define PRODUCT "Dravelin Tidewell 6"
; The Add/Remove Programs entry, in the 32-bit view as this installer is a 32-bit program.
!define ARP "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
; An installed version's folder, from its entry; the earlier recipe wrote none: the default then.
InstallDirRegKey HKLM "${ARP}" "InstallLocation"
; TW6Maint.exe asks for administrator rights: an installer that is not elevated cannot start it.
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "Dravelin"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}.0"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Dravelin"

Var RemoveData

; The driver service is still there after -UNINSTALL when the old driver would not stop: it is
; only marked for deletion until the restart, and -INSTALL cannot create it again before then.
!macro TW6DriverLeftCheck UN
  nsExec::ExecToLog '"$SYSDIR\sc.exe" query TW5IFS'
  Pop $1
  ${If} $1 = 0
    SetRebootFlag true
    DetailPrint "The driver service TW5IFS is still there: it goes at the restart."
    !if "${UN}" == ""
      MessageBox MB_OK|MB_ICONEXCLAMATION "The old driver of ${PRODUCT} could not be stopped; it is removed when Windows restarts. Restart Windows, then run this setup again." /SD IDOK
    !endif
  ${EndIf}
!macroend

; -UNINSTALL and the files of this version gone again: what a failed installation leaves.
!macro TW6TakeBack
  ExecWait '"$INSTDIR\TW6Maint.exe" -UNINSTALL' $0
  DetailPrint "TW6Maint.exe -UNINSTALL: exit code $0"
  Call RemoveFiles
  DeleteRegKey HKLM "${ARP}"
!macroend

Function .onInit
  ; Wine always reports an administrator: a test build forces the other answer with /NOTADMIN.
  UserInfo::GetAccountType
  Pop $0
!ifdef TW6_TEST_FAULTS
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/NOTADMIN" $R1
  ${IfNot} ${Errors}
    StrCpy $0 "User"
  ${EndIf}
!endif
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} must be installed by an administrator. Run the setup again as an administrator." /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
  ; A newer installed version stays: 1638 (ERROR_PRODUCT_VERSION).
  ReadRegStr $1 HKLM "${ARP}" "DisplayVersion"
  ${If} $1 != ""
    ${VersionCompare} "$1" "${VERSION}" $2
    ${If} $2 = 1
      MessageBox MB_OK|MB_ICONSTOP "A newer version of ${PRODUCT} ($1) is already installed. Remove it first to install this one." /SD IDOK
      SetErrorLevel 1638
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

; 3010 (ERROR_SUCCESS_REBOOT_REQUIRED) tells a calling script that a restart is needed.
Function .onInstSuccess
  ${If} ${RebootFlag}
    SetErrorLevel 3010
  ${EndIf}
FunctionEnd

Function un.onUninstSuccess
  ${If} ${RebootFlag}
    SetErrorLevel 3010
  ${EndIf}
FunctionEnd

Function RemoveFiles
  ; The product's files: keep this list as the File lines of the "Install" section.
  Delete "$INSTDIR\TW6Maint.exe"
  Delete "$INSTDIR\TW6.exe"
  Delete "$INSTDIR\TW6Log.exe"
  Delete "$INSTDIR\TW6Guard.exe"
  Delete "$INSTDIR\IFS32.sys"
  Delete "$INSTDIR\IFS64.sys"
  ; YOUR FILES: delete them here too.
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
FunctionEnd

Section "Install"
  ; An installed version (this folder, from its entry or the default) is taken down first by
  ; its own TW6Maint.exe: the product's processes end and free their files, the driver and the
  ; verbs go. Its autorun value and its data stay.
  ${If} ${FileExists} "$INSTDIR\TW6Maint.exe"
    ExecWait '"$INSTDIR\TW6Maint.exe" -UNINSTALL' $0
    DetailPrint "The installed TW6Maint.exe -UNINSTALL: exit code $0"
    !insertmacro TW6DriverLeftCheck ""
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "${SOURCE}\TW6Maint.exe"
  ; The product's files beside the program: the driver service and the verbs name them.
  File "${SOURCE}\TW6.exe"
  File "${SOURCE}\TW6Log.exe"
  File "${SOURCE}\TW6Guard.exe"
  File "${SOURCE}\IFS32.sys"
  File "${SOURCE}\IFS64.sys"
  ; YOUR FILES: File lines here, and their Delete lines in RemoveFiles.
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ClearErrors
  ExecWait '"$INSTDIR\TW6Maint.exe" -INSTALL' $0
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "TW6Maint.exe could not be started." /SD IDOK
    Call RemoveFiles
    DeleteRegKey HKLM "${ARP}"
    SetErrorLevel 2
    Abort
  ${EndIf}
  ${If} $0 <> 0
    MessageBox MB_OK|MB_ICONSTOP "TW6Maint.exe -INSTALL failed (exit code $0)." /SD IDOK
    !insertmacro TW6TakeBack
    SetErrorLevel 2
    Abort
  ${EndIf}

  ClearErrors
  WriteRegStr HKLM "${ARP}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${ARP}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${ARP}" "Publisher" "Dravelin"
  WriteRegStr HKLM "${ARP}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${ARP}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegStr HKLM "${ARP}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${ARP}" "DisplayIcon" "$INSTDIR\Uninstall.exe"
  WriteRegDWORD HKLM "${ARP}" "NoModify" 1
  WriteRegDWORD HKLM "${ARP}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  WriteRegDWORD HKLM "${ARP}" "EstimatedSize" $1
  StrCpy $2 0
  ${If} ${Errors}
    StrCpy $2 1
  ${EndIf}
!ifdef TW6_TEST_FAULTS
  ; A test build fails here on /FAILAFTERINSTALL, as a failed write would.
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/FAILAFTERINSTALL" $R1
  ${IfNot} ${Errors}
    StrCpy $2 1
  ${EndIf}
!endif
  ${If} $2 = 1
    MessageBox MB_OK|MB_ICONSTOP "The setup could not be completed; nothing of it is left installed." /SD IDOK
    !insertmacro TW6TakeBack
    SetErrorLevel 2
    Abort
  ${EndIf}
SectionEnd

Function un.onInit
  StrCpy $RemoveData 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVEDATA" $R1
  ${IfNot} ${Errors}
    StrCpy $RemoveData 1
  ${ElseIfNot} ${Silent}
    MessageBox MB_YESNO "Also delete the data of ${PRODUCT}?" IDNO +2
    StrCpy $RemoveData 1
  ${EndIf}
FunctionEnd

; A removal goes on whatever the program answers: nothing here may keep the product on the
; machine. The order matters: the product's processes and driver go first, then the guard's
; autorun value, then the data (the SnapShots folder lies beside TW6Maint.exe).
Section "Uninstall"
  ExecWait '"$INSTDIR\TW6Maint.exe" -UNINSTALL' $0
  DetailPrint "TW6Maint.exe -UNINSTALL: exit code $0"
  !insertmacro TW6DriverLeftCheck "un"
  ExecWait '"$INSTDIR\TW6Maint.exe" -REMOVEAUTORUN' $0
  DetailPrint "TW6Maint.exe -REMOVEAUTORUN: exit code $0"
  ${If} $RemoveData = 1
    ExecWait '"$INSTDIR\TW6Maint.exe" -DELETEALLUSERDATA' $0
    DetailPrint "TW6Maint.exe -DELETEALLUSERDATA: exit code $0"
  ${EndIf}
  ; What is still locked goes at the restart.
  Delete /REBOOTOK "$INSTDIR\TW6Maint.exe"
  Delete /REBOOTOK "$INSTDIR\TW6.exe"
  Delete /REBOOTOK "$INSTDIR\TW6Log.exe"
  Delete /REBOOTOK "$INSTDIR\TW6Guard.exe"
  Delete /REBOOTOK "$INSTDIR\IFS32.sys"
  Delete /REBOOTOK "$INSTDIR\IFS64.sys"
  ; YOUR FILES: delete them here too.
  DeleteRegKey HKLM "${ARP}"
  ${If} $EXEDIR == $INSTDIR
    ; Run in place (_?=) by a script, which removes the uninstaller and the folder itself.
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
  ${Else}
    Delete /REBOOTOK "$INSTDIR\Uninstall.exe"
    RMDir /REBOOTOK "$INSTDIR"
  ${EndIf}
SectionEnd
