; The Windows installer: per user, without administrator rights, into
; %LOCALAPPDATA%\Programs\Tressimo, with a Start-menu entry and an uninstaller.
; makensis -DVERSION=3.0 -DSTAGE=folder -DOUTFILE=setup.exe [-DHAVE_WINDOW] tressimo.nsi
; The programs are 64-bit, and so is the installer: it runs wherever they do.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tressimo"
Name "Tressimo ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tressimo"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File /r "${STAGE}/*"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Tressimo"
!ifdef HAVE_WINDOW
  CreateShortcut "$SMPROGRAMS\Tressimo\Tressimo.lnk" "$INSTDIR\tressimo.exe"
!endif
  CreateShortcut "$SMPROGRAMS\Tressimo\Tressimo manual.lnk" "$INSTDIR\manual.html"
  CreateShortcut "$SMPROGRAMS\Tressimo\Uninstall Tressimo.lnk" "$INSTDIR\Uninstall.exe"
  WriteRegStr HKCU "${KEY}" "DisplayName" "Tressimo ${VERSION}"
  WriteRegStr HKCU "${KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  RMDir /r "$SMPROGRAMS\Tressimo"
  ; Only what the installer put there: a user's own files in the folder stay.
  Delete "$INSTDIR\tressimo.exe"
  Delete "$INSTDIR\tressimo-convert.exe"
  Delete "$INSTDIR\pst-check.exe"
  Delete "$INSTDIR\manual.html"
  RMDir /r "$INSTDIR\licenses"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${KEY}"
SectionEnd
