; The per-user installer of the Windows build: no administrator rights, the program under the
; user's own programs folder, a Start-menu shortcut and an entry in the user's list of installed
; programs. The uninstaller removes exactly that; the window placement the program stored under
; HKCU\Software\reprisa stays, so that a later installation opens where the user left it.
;
; Built by packaging/windows/make-packages:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DEXE=<reprisa.exe> -DICON=<reprisa.ico>
;            -DOUTFILE=<setup.exe> reprisa.nsi
Unicode true
!ifndef VERSION | EXE | ICON | OUTFILE
  !error "VERSION, EXE, ICON and OUTFILE must be defined"
!endif

!include MUI2.nsh
!include FileFunc.nsh

!define PRODUCT "Reprisa"
!define PUBLISHER "Velmora"
!define WEBSITE "https://www.velmora.example/"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Reprisa"
!define SHORTCUT "$SMPROGRAMS\Reprisa.lnk"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Reprisa"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
ManifestDPIAware true
BrandingText "${PUBLISHER} ${PRODUCT} ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

; The installer's own version resource (the four-part form Windows wants).
VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1031 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1031 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1031 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1031 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1031 "FileDescription" "${PRODUCT} ${VERSION} Installation"
VIAddVersionKey /LANG=1031 "LegalCopyright" "Copyright © ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\reprisa.exe"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "German"

LangString RunningText ${LANG_GERMAN} "Reprisa läuft noch. Bitte schließen Sie das Programm und klicken Sie auf „Wiederholen“."
LangString ShortcutText ${LANG_GERMAN} "Zeigt eine Webseite und lädt sie in einem festen Intervall neu"

Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  File "/oname=reprisa.exe" "${EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\reprisa.exe" "" "$INSTDIR\reprisa.exe" 0 SW_SHOWNORMAL "" "$(ShortcutText)"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\reprisa.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "${WEBSITE}"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; The size Windows shows in the list, in KiB.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  ; A running program cannot be deleted: ask the user to close it first (a silent uninstall
  ; gives up instead), before anything else is removed.
retry:
  ClearErrors
  Delete "$INSTDIR\reprisa.exe"
  IfErrors 0 deleted
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(RunningText)" /SD IDCANCEL IDRETRY retry
  Abort
deleted:
  Delete "${SHORTCUT}"
  Delete "$INSTDIR\uninstall.exe"
  ; Only an empty folder: the user may have chosen one that holds other files.
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; The document mode the program asked the browser control for, under its file name.
  DeleteRegValue HKCU "Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION" "reprisa.exe"
  ; HKCU\Software\reprisa (the stored window placement) stays.
SectionEnd
