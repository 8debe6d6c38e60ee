; The product's NSIS installer with TW6Maint.exe. Builds with Debian's makensis:
;   makensis -DSOURCE=dist -DOUTFILE=TW6Setup.exe examples/TW6Maint.nsi
; (SOURCE is the folder holding TW6Maint.exe, relative to this script or absolute.)
; Install silently:  TW6Setup.exe /S
; Remove silently:   Uninstall.exe /S [/REMOVEDATA]
; /REMOVEDATA also deletes the product's data; without /S the uninstaller asks.
;
; Exit codes: TW6Maint.exe ends with 0 after every normal run, whatever its steps achieved (a
; service that would not start, a process it could not end): its own failures show only in
; their effects, never in the exit code. It ends with 1 only after an unexpected error, once a
; message box titled "Application Error" has been closed (in the user's session; where nobody
; sees the window station it shows none). ExecWait sets the error flag when the
; program could not be started at all (missing file, no elevation).

Unicode true
!include LogicLib.nsh
!include FileFunc.nsh

!ifndef SOURCE
  !define SOURCE "..\dist"
!endif
!ifndef OUTFILE
  !define OUTFILE "TW6Setup.exe"
!endif

Name "Dravelin Tidewell 6"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Dravelin Tidewell 6"
; TW6Maint.exe asks for administrator rights: an installer that is not elevated cannot start it.
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

Var RemoveData

Section "Install"
  SetOutPath "$INSTDIR"
  File "${SOURCE}\TW6Maint.exe"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; After the files are in place: the driver and the verbs name files in this folder.
  ClearErrors
  ExecWait '"$INSTDIR\TW6Maint.exe" -INSTALL' $0
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "TW6Maint.exe could not be started." /SD IDOK
    SetErrorLevel 2
    Abort
  ${ElseIf} $0 <> 0
    MessageBox MB_OK|MB_ICONSTOP "TW6Maint.exe -INSTALL failed (exit code $0)." /SD IDOK
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
    MessageBox MB_YESNO "Also delete the data of Dravelin Tidewell 6?" IDNO +2
    StrCpy $RemoveData 1
  ${EndIf}
FunctionEnd

; A removal goes on whatever the program answers: nothing here may keep the product on the
; machine. The order matters: the product's processes and driver go first, then the guard's
; autorun value, then the data (the SnapShots folder lies beside TW6Maint.exe).
Section "Uninstall"
  ExecWait '"$INSTDIR\TW6Maint.exe" -UNINSTALL' $0
  DetailPrint "TW6Maint.exe -UNINSTALL: exit code $0"
  ExecWait '"$INSTDIR\TW6Maint.exe" -REMOVEAUTORUN' $0
  DetailPrint "TW6Maint.exe -REMOVEAUTORUN: exit code $0"
  ${If} $RemoveData = 1
    ExecWait '"$INSTDIR\TW6Maint.exe" -DELETEALLUSERDATA' $0
    DetailPrint "TW6Maint.exe -DELETEALLUSERDATA: exit code $0"
  ${EndIf}
  Delete "$INSTDIR\TW6Maint.exe"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
