; The Windows installer: both programs and the Windows manual under Program
; Files, a Start-menu entry for the window, an uninstaller registered under
; Add/Remove Programs. The uninstaller removes what was installed and keeps
; the user's settings. /S installs and uninstalls silently.
;   makensis -DVERSION=1.0.0 -DBUILD=build-windows-64 -DOUTFILE=setup.exe usb-corvane.nsi
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
; Reproducible: no time stamp of the build machine in the files' headers.
SetDateSave off

!define PRODUCT "USB Corvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\USB_Corvane"
!define MENU_FOLDER "$SMPROGRAMS\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Veltra Software\${PRODUCT}"
RequestExecutionLevel admin
ShowInstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT} SmartMouse configuration tool"
VIAddVersionKey /LANG=1033 "CompanyName" "Veltra Software"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 Veltra Software"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; For every user of the machine, as the settings are.
Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Programs"
  SetOutPath "$INSTDIR"
  File "${BUILD}\app_windows\usb-corvane-config.exe"
  File "${BUILD}\cli\usb-corvane.exe"
  File "${BUILD}\README-Windows.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "${MENU_FOLDER}"
  CreateShortcut "${MENU_FOLDER}\${PRODUCT} Config.lnk" "$INSTDIR\usb-corvane-config.exe"
  CreateShortcut "${MENU_FOLDER}\${PRODUCT} manual.lnk" "$INSTDIR\README-Windows.txt"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Veltra Software"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\usb-corvane-config.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

; What was installed, and nothing else: the settings under
; HKLM\Software\Veltra_Software\USB_Corvane (and the users' copies) stay.
Section "Uninstall"
  Delete "$INSTDIR\usb-corvane-config.exe"
  Delete "$INSTDIR\usb-corvane.exe"
  Delete "$INSTDIR\README-Windows.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$INSTDIR\.."
  Delete "${MENU_FOLDER}\${PRODUCT} Config.lnk"
  Delete "${MENU_FOLDER}\${PRODUCT} manual.lnk"
  RMDir "${MENU_FOLDER}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
