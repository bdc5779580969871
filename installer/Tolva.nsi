; Tolva-setup.exe. The build passes ARCH (x86_64 or i686), VERSION, BIN (the installation image),
; SOURCE (this folder), ICON and OUTFILE; installer/CMakeLists.txt runs makensis.
;
; Switches: /S, and /silent (what the updater passes to a downloaded setup program), install
; without a window; /D=<folder> as the last switch picks the folder.

!if "${ARCH}" == "x86_64"
  Target amd64-unicode
  !define PROGRAM_FILES "$PROGRAMFILES64"
!else
  Target x86-unicode
  !define PROGRAM_FILES "$PROGRAMFILES"
!endif

!define SETTINGS_KEY "Software\Ondrel\Tolva"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolva"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "Tolva"
OutFile "${OUTFILE}"
InstallDir "${PROGRAM_FILES}\Tolva"
; An upgrade goes where the suite already is.
InstallDirRegKey HKLM "${SETTINGS_KEY}" "InstallDir"
RequestExecutionLevel admin
ManifestDPIAware true
SetCompressor /SOLID lzma
BrandingText "Tolva ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "CompanyName" "Ondrel"
VIAddVersionKey /LANG=1033 "ProductName" "Tolva"
VIAddVersionKey /LANG=1033 "FileDescription" "Tolva setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "InternalName" "Tolva-setup"
VIAddVersionKey /LANG=1033 "OriginalFilename" "Tolva-setup.exe"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright © Ondrel. All rights reserved."

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include WinVer.nsh
!include x64.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${SOURCE}/art/wizard.bmp"
!define MUI_ABORTWARNING
!define MUI_LANGDLL_WINDOWTITLE "Tolva Setup"
!define MUI_LANGDLL_INFO "Please select a language."

!insertmacro MUI_PAGE_LICENSE "${SOURCE}/EULA.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Tolva.exe"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; English first: it is the language of a silent installation on a system whose own language is
; none of these.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "Spanish"
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "Italian"
!insertmacro MUI_LANGUAGE "Dutch"
!insertmacro MUI_LANGUAGE "PortugueseBR"
!insertmacro MUI_RESERVEFILE_LANGDLL

!include "${SOURCE}/messages.nsh"

Var closedNotifier
Var deleteReminders

; The language choice is kept as DefaultLanguage, the base name of the suite's language file; the
; notifier's first run makes it the new user's language.

; $LANGUAGE -> $0
Function languageFileName
  ${Select} $LANGUAGE
    ${Case} ${LANG_GERMAN}
      StrCpy $0 "German"
    ${Case} ${LANG_SPANISH}
      StrCpy $0 "Spanish"
    ${Case} ${LANG_FRENCH}
      StrCpy $0 "French"
    ${Case} ${LANG_ITALIAN}
      StrCpy $0 "Italian"
    ${Case} ${LANG_DUTCH}
      StrCpy $0 "Dutch"
    ${Case} ${LANG_PORTUGUESEBR}
      StrCpy $0 "BrazilianPortuguese"
    ${CaseElse}
      StrCpy $0 "English"
  ${EndSelect}
FunctionEnd

; The installed DefaultLanguage, when there is one, becomes $LANGUAGE: the setup program offers it
; again (and a silent one keeps it), the uninstaller speaks it.
!macro LANGUAGE_FROM_SETTINGS un
  Function ${un}languageFromSettings
    ReadRegStr $0 HKLM "${SETTINGS_KEY}" "DefaultLanguage"
    ; LogicLib's == ignores case, as every reader of DefaultLanguage does.
    ${If} $0 == "German"
      StrCpy $LANGUAGE ${LANG_GERMAN}
    ${ElseIf} $0 == "English"
      StrCpy $LANGUAGE ${LANG_ENGLISH}
    ${ElseIf} $0 == "Spanish"
      StrCpy $LANGUAGE ${LANG_SPANISH}
    ${ElseIf} $0 == "French"
      StrCpy $LANGUAGE ${LANG_FRENCH}
    ${ElseIf} $0 == "Italian"
      StrCpy $LANGUAGE ${LANG_ITALIAN}
    ${ElseIf} $0 == "Dutch"
      StrCpy $LANGUAGE ${LANG_DUTCH}
    ${ElseIf} $0 == "BrazilianPortuguese"
      StrCpy $LANGUAGE ${LANG_PORTUGUESEBR}
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro LANGUAGE_FROM_SETTINGS ""
!insertmacro LANGUAGE_FROM_SETTINGS "un."

; Ends the running notifier the way its own Exit command does, and waits until the process is
; gone so that its files can be replaced or deleted. It is found by its hidden window (class
; "WindowsApp", title "Tolva"); one that does not go within five seconds, or that holds its
; mutex "Tolva SysTray" without a window (it is still asking its first-run questions), is ended
; by force. Sets $closedNotifier to 1 when there was one.
!macro CLOSE_NOTIFIER un
  Function ${un}closeNotifier
    Push $0
    Push $1
    Push $2
    Push $3
    ${For} $3 1 10
      FindWindow $0 "WindowsApp" "Tolva"
      ${If} $0 == 0
        System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Tolva SysTray") p .r1'
        ${If} $1 P= 0
          ${Break}
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p r1)'
        StrCpy $closedNotifier 1
        ; A notifier that has just started needs a moment for its window.
        ${If} $3 < 4
          Sleep 500
          ${Continue}
        ${EndIf}
        DetailPrint "Tolva.exe: end by force"
        nsExec::Exec '"$SYSDIR\taskkill.exe" /F /IM Tolva.exe'
        Pop $1
        Sleep 1000
        ${Continue}
      ${EndIf}
      StrCpy $closedNotifier 1
      System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
      ; SYNCHRONIZE | PROCESS_TERMINATE
      System::Call 'kernel32::OpenProcess(i 0x00100001, i 0, i r1) p .r2'
      ; The tray menu's Exit command.
      System::Call 'user32::PostMessageW(p r0, i ${WM_COMMAND}, p 5, p 0)'
      ${If} $2 P<> 0
        System::Call 'kernel32::WaitForSingleObject(p r2, i 5000) i .r1'
        ${If} $1 <> 0
          DetailPrint "Tolva.exe: end by force"
          System::Call 'kernel32::TerminateProcess(p r2, i 1)'
          System::Call 'kernel32::WaitForSingleObject(p r2, i 5000)'
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p r2)'
      ${Else}
        Sleep 1000
      ${EndIf}
    ${Next}
    Pop $3
    Pop $2
    Pop $1
    Pop $0
  FunctionEnd
!macroend
!insertmacro CLOSE_NOTIFIER ""
!insertmacro CLOSE_NOTIFIER "un."

; The updater starts a downloaded setup program and then ends; its files can be replaced only
; once it has gone. Waiting on its mutex ends when the updater does.
Function waitForUpdater
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Tolva Updater Main") p .r0'
  ${If} $0 P<> 0
    DetailPrint "Waiting for TolvaUpdater.exe"
    System::Call 'kernel32::WaitForSingleObject(p r0, i 30000)'
    System::Call 'kernel32::CloseHandle(p r0)'
  ${EndIf}
FunctionEnd

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/silent" $1
  ${IfNot} ${Errors}
    SetSilent silent
  ${EndIf}
  !if "${ARCH}" == "x86_64"
    SetRegView 64
  !endif
  ${IfNot} ${AtLeastWin7}
    MessageBox MB_OK|MB_ICONSTOP "$(NeedsWindows7)" /SD IDOK
    Abort
  ${EndIf}
  !if "${ARCH}" == "x86_64"
    ${IfNot} ${RunningX64}
      MessageBox MB_OK|MB_ICONSTOP "$(Needs64Bit)" /SD IDOK
      Abort
    ${EndIf}
  !endif
  StrCpy $closedNotifier 0
  Call languageFromSettings
  !insertmacro MUI_LANGDLL_DISPLAY
FunctionEnd

Section "Tolva"
  SetShellVarContext all
  Call waitForUpdater
  Call closeNotifier

  SetOutPath "$INSTDIR"
  SetOverwrite on
  ClearErrors
  File "${BIN}/Tolva.exe"
  File "${BIN}/manager.exe"
  File "${BIN}/reminders.dll"
  File "${BIN}/TolvaUpdater.exe"
  File "${BIN}/update.dll"
  File "${BIN}/Datemark.exe"
  File "/oname=EULA.txt" "${SOURCE}/EULA.txt"
  !if /FileExists "${BIN}/Tolva.chm"
    File "${BIN}/Tolva.chm"
  !endif
  SetOutPath "$INSTDIR\lang"
  File "${BIN}/lang/*.lng"
  SetOutPath "$INSTDIR"
  ; A file that could not be written (held open by some program, and ignored when asked, or
  ; silently) leaves a mixed installation: whoever started a silent setup must learn of it.
  ${If} ${Errors}
    SetErrorLevel 2
    DetailPrint "Some files could not be replaced."
  ${EndIf}
  ; A journal left by an update that never finished would put the old files back over these.
  RMDir /r "$INSTDIR\~update-backup"

  ; The machine-wide settings only; the user's reminders and settings (HKCU) are left as they are.
  Call languageFileName
  WriteRegStr HKLM "${SETTINGS_KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${SETTINGS_KEY}" "DefaultLanguage" "$0"
  WriteRegStr HKLM "${SETTINGS_KEY}" "CurrentVersion" "${VERSION}"
  ; Stamps LastUpdate: a fresh installation is up to date.
  ExecWait '"$INSTDIR\Datemark.exe"'

  ; Shortcut names may differ from one installation's language to the next.
  Delete "$SMPROGRAMS\Tolva\*.lnk"
  CreateDirectory "$SMPROGRAMS\Tolva"
  CreateShortCut "$SMPROGRAMS\Tolva\Tolva.lnk" "$INSTDIR\Tolva.exe"
  CreateShortCut "$SMPROGRAMS\Tolva\Tolva Manager.lnk" "$INSTDIR\manager.exe"
  !if /FileExists "${BIN}/Tolva.chm"
    CreateShortCut "$SMPROGRAMS\Tolva\$(HelpShortcut).lnk" "$INSTDIR\Tolva.chm"
  !endif

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tolva"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Ondrel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tolva.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1

  ; Interactively the finish page offers the start; a silent upgrade puts back what it closed.
  ${If} ${Silent}
  ${AndIf} $closedNotifier == 1
    Exec '"$INSTDIR\Tolva.exe"'
  ${EndIf}
SectionEnd

Function un.onInit
  !if "${ARCH}" == "x86_64"
    SetRegView 64
  !endif
  StrCpy $closedNotifier 0
  Call un.languageFromSettings
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  ; Asked first, so that the rest runs without the user.
  StrCpy $deleteReminders 0
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(DeleteReminders)" /SD IDNO IDNO +2
    StrCpy $deleteReminders 1
  Call un.closeNotifier

  Delete "$INSTDIR\Tolva.exe"
  Delete "$INSTDIR\manager.exe"
  Delete "$INSTDIR\reminders.dll"
  Delete "$INSTDIR\TolvaUpdater.exe"
  Delete "$INSTDIR\update.dll"
  Delete "$INSTDIR\Datemark.exe"
  Delete "$INSTDIR\EULA.txt"
  Delete "$INSTDIR\Tolva.chm"
  Delete "$INSTDIR\lang\*.lng"
  RMDir "$INSTDIR\lang"
  ; What the updater leaves in the installation folder.
  Delete "$INSTDIR\update.log"
  RMDir /r "$INSTDIR\~update-backup"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: the folder may hold files of the user's.
  RMDir "$INSTDIR"

  RMDir /r "$SMPROGRAMS\Tolva"

  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "Software\Ondrel"
  DeleteRegValue HKCU "${RUN_KEY}" "Tolva"
  DeleteRegKey HKCU "Software\Classes\TolvaReminders"
  ; .tlm may have been given to another program since; only our own claim on it goes.
  ReadRegStr $0 HKCU "Software\Classes\.tlm" ""
  ${If} $0 == "TolvaReminders"
    DeleteRegValue HKCU "Software\Classes\.tlm" ""
    DeleteRegKey /ifempty HKCU "Software\Classes\.tlm"
  ${EndIf}

  ${If} $deleteReminders == 1
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "Software\Ondrel"
  ${EndIf}

  ; Last, so that whoever waits for the entry to go knows the rest has gone before it.
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
