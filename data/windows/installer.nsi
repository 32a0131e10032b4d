; Snaplark's Windows installer: a per-user install without administrator rights, a Start menu
; shortcut, an entry in Apps & features with an uninstaller, and /S for silent use of both. A
; running agent is ended first (asked, then made to), and the new one is started after: from the
; finish page (ticked by default), and with /S unless /NOSTART is given. "Start at login" is left to
; the user (the preferences window). Built by CMake with makensis:
;   makensis -DVERSION=x.y.z -DEXE=path\to\snaplark.exe -DCOM=path\to\snaplark.com
;            -DOUTFILE=setup.exe installer.nsi
; and with -DSIGN=COMMAND, a command that signs a file in place, the uninstaller is signed as it
; is written and the installer once it is (%1 is the file; "= 0": the command must succeed).
Unicode true
; A 64-bit installer: the agent is 64-bit, and so is the Wine the tests run it under.
Target amd64-unicode
!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include WinMessages.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Snaplark"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define APPROVED_KEY "Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"

Name "Snaplark"
OutFile "${OUTFILE}"
RequestExecutionLevel user
; Where per-user programs go (FOLDERID_UserProgramFiles).
InstallDir "$LOCALAPPDATA\Programs\Snaplark"
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Snaplark"
VIAddVersionKey "FileDescription" "Snaplark setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Snaplark"

!ifdef SIGN
  !uninstfinalize '"${SIGN}" "%1"' = 0
  !finalize '"${SIGN}" "%1"' = 0
!endif

!define MUI_FINISHPAGE_RUN "$INSTDIR\snaplark.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Snaplark"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A running agent holds its file open. It is asked to end as Quit does (its window takes
; WM_CLOSE), given ten seconds, then ended; either way the file is free once its process has gone.
; SYNCHRONIZE (0x100000) to wait for the process, PROCESS_TERMINATE (1) to end it.
!macro END_AGENT un
Function ${un}EndAgent
  FindWindow $0 "SnaplarkAgent" "Snaplark"
  ${If} $0 = 0
    Return
  ${EndIf}
  System::Call "user32::GetWindowThreadProcessId(p r0, *i .r1) i"
  System::Call "kernel32::OpenProcess(i 0x100001, i 0, i r1) p .r2"
  SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
  ${If} $2 P<> 0
    System::Call "kernel32::WaitForSingleObject(p r2, i 10000) i .r3"
    ${If} $3 <> 0
      System::Call "kernel32::TerminateProcess(p r2, i 1) i"
      System::Call "kernel32::WaitForSingleObject(p r2, i 5000) i"
    ${EndIf}
    System::Call "kernel32::CloseHandle(p r2) i"
  ${EndIf}
FunctionEnd
!macroend
!insertmacro END_AGENT ""
!insertmacro END_AGENT "un."

Section
  SetShellVarContext current
  Call EndAgent
  SetOutPath "$INSTDIR"
  ; Written beside the old file and put in its place, so that a file still held (another session's
  ; agent) stops the install with a message, never with File's Abort/Retry/Ignore, which /S would
  ; leave waiting for an answer.
  File "/oname=snaplark.exe.new" "${EXE}"
  ClearErrors
  Delete "$INSTDIR\snaplark.exe"
  Rename "$INSTDIR\snaplark.exe.new" "$INSTDIR\snaplark.exe"
  ${If} ${Errors}
    Delete "$INSTDIR\snaplark.exe.new"
    MessageBox MB_OK|MB_ICONSTOP "Snaplark could not replace $INSTDIR\snaplark.exe, which is still in use. Quit Snaplark and try again." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  File "/oname=snaplark.com" "${COM}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\Snaplark.lnk" "$INSTDIR\snaplark.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Snaplark"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Snaplark"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\snaplark.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; Apps & features shows the size it is told, in KiB.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; A silent install starts the agent as the finish page's box would, unless /NOSTART says not to.
Function .onInstSuccess
  ${If} ${Silent}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/NOSTART" $1
    ${If} ${Errors}
      Exec '"$INSTDIR\snaplark.exe"'
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  SetShellVarContext current
  Call un.EndAgent
  DeleteRegValue HKCU "${RUN_KEY}" "Snaplark"
  DeleteRegValue HKCU "${APPROVED_KEY}" "Snaplark"
  DeleteRegKey HKCU "Software\Snaplark"
  Delete "$SMPROGRAMS\Snaplark.lnk"
  Delete "$INSTDIR\snaplark.exe"
  Delete "$INSTDIR\snaplark.com"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
