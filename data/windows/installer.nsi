; Snaplark's Windows installer: a per-user install without administrator rights, a Start menu
; shortcut, an entry in Apps & features with an uninstaller, and /S for silent use of both.
; "Start at login" is left to the user (the preferences window). Built by CMake with makensis:
;   makensis -DVERSION=x.y.z -DEXE=path\to\snaplark.exe -DOUTFILE=setup.exe installer.nsi
Unicode true
; A 64-bit installer: the agent is 64-bit, and so is the Wine the tests run it under.
Target amd64-unicode
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

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; A running agent holds its file open: ask it to end as Quit does (its window takes WM_CLOSE).
!macro CloseAgent
  FindWindow $0 "SnaplarkAgent" "Snaplark"
  StrCmp $0 0 +2
  SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
!macroend

Section
  SetShellVarContext current
  !insertmacro CloseAgent
  SetOutPath "$INSTDIR"
  File "/oname=snaplark.exe" "${EXE}"
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
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  !insertmacro CloseAgent
  DeleteRegValue HKCU "${RUN_KEY}" "Snaplark"
  DeleteRegValue HKCU "${APPROVED_KEY}" "Snaplark"
  DeleteRegKey HKCU "Software\Snaplark"
  Delete "$SMPROGRAMS\Snaplark.lnk"
  Delete "$INSTDIR\snaplark.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
