; The Windows setup of Talvoren, made by makensis from the staged files.
; Defined by the build: VERSION (major.minor.release.build), STAGE (the
; staged folder), ICON, FILES (the generated install and uninstall lists), OUTFILE.
; Switches besides NSIS's own /S and /D=: the uninstaller's /REMOVESETTINGS
; ticks "Remove my settings", also in a silent run.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!define PRODUCT "Talvoren"
!define PUBLISHER "Talvoren developers"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Talvoren"
!define SETTINGS_KEY "Software\Talvoren"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "${FILES}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
; 32-bit: "Program Files (x86)" on 64-bit Windows.
InstallDir "$PROGRAMFILES\${PRODUCT}"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}, GPL-3.0-or-later"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\talvoren.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

; The languages of the program's own catalogues; the system's language picks.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "Spanish"
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "PortugueseBR"
!insertmacro MUI_LANGUAGE "Russian"

LangString RemoveSettings ${LANG_ENGLISH} "Remove my settings"
LangString RemoveSettings ${LANG_GERMAN} "Meine Einstellungen entfernen"
LangString RemoveSettings ${LANG_SPANISH} "Eliminar mi configuración"
LangString RemoveSettings ${LANG_FRENCH} "Supprimer mes paramètres"
LangString RemoveSettings ${LANG_JAPANESE} "設定を削除する"
LangString RemoveSettings ${LANG_PORTUGUESEBR} "Remover minhas configurações"
LangString RemoveSettings ${LANG_RUSSIAN} "Удалить мои настройки"
LangString CloseTalvoren ${LANG_ENGLISH} "Talvoren is still running. Close it, then choose Retry."
LangString CloseTalvoren ${LANG_GERMAN} "Talvoren läuft noch. Schließen Sie es und wählen Sie dann Wiederholen."
LangString CloseTalvoren ${LANG_SPANISH} "Talvoren sigue en ejecución. Ciérrelo y elija Reintentar."
LangString CloseTalvoren ${LANG_FRENCH} "Talvoren est encore ouvert. Fermez-le, puis choisissez Réessayer."
LangString CloseTalvoren ${LANG_JAPANESE} "Talvoren がまだ実行中です。終了してから [再試行] を選んでください。"
LangString CloseTalvoren ${LANG_PORTUGUESEBR} "O Talvoren ainda está em execução. Feche-o e escolha Repetir."
LangString CloseTalvoren ${LANG_RUSSIAN} "Talvoren всё ещё запущен. Закройте его и нажмите «Повтор»."

; $R0: Talvoren's main window, or 0. It is the visible top-level Qt window
; whose title starts with "Talvoren " (the title carries the version, which
; differs between the running copy and this setup).
!macro FindTalvorenWindow un
Function ${un}FindTalvorenWindow
    Push $R1
    Push $R2
    StrCpy $R0 0
    loop:
        FindWindow $R0 "" "" 0 $R0
        ${If} $R0 == 0
            Goto done
        ${EndIf}
        System::Call 'user32::IsWindowVisible(p $R0) i .R1'
        ${If} $R1 == 0
            Goto loop
        ${EndIf}
        System::Call 'user32::GetClassNameW(p $R0, w .R1, i 256) i'
        StrCpy $R1 $R1 2
        ${If} $R1 != "Qt"
            Goto loop
        ${EndIf}
        System::Call 'user32::GetWindowTextW(p $R0, w .R2, i 256) i'
        StrCpy $R2 $R2 9
        ${If} $R2 != "Talvoren "
            Goto loop
        ${EndIf}
    done:
    Pop $R2
    Pop $R1
FunctionEnd

; Asks a running Talvoren to close as its close box would (it may ask to
; save first) and waits for it; aborts when it stays open and the person
; gives up (a silent run gives up after the wait).
Function ${un}CloseTalvoren
    Push $R0
    Push $R3
    retry:
        Call ${un}FindTalvorenWindow
        ${If} $R0 == 0
            Goto closed
        ${EndIf}
        System::Call 'user32::PostMessageW(p $R0, i ${WM_CLOSE}, p 0, p 0) i'
        StrCpy $R3 0
        ${Do}
            Sleep 250
            IntOp $R3 $R3 + 1
            Call ${un}FindTalvorenWindow
            ${If} $R0 == 0
                ${ExitDo}
            ${EndIf}
        ${LoopUntil} $R3 >= 40
        ${If} $R0 == 0
            Goto closed
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(CloseTalvoren)" /SD IDCANCEL IDRETRY retry
        SetErrorLevel 2
        Quit
    closed:
    Pop $R3
    Pop $R0
FunctionEnd
!macroend
!insertmacro FindTalvorenWindow ""
!insertmacro FindTalvorenWindow "un."

Function .onInit
    SetShellVarContext all
FunctionEnd

Section "Talvoren" SecMain
    SectionIn RO
    Call CloseTalvoren
    ; Over an installed copy: its own uninstaller removes its files and
    ; entry first (silently, so the settings stay), then this one installs.
    ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\uninstall.exe"
        ExecWait '"$0\uninstall.exe" /S _?=$0'
        Delete "$0\uninstall.exe"
        RMDir "$0"
    ${EndIf}

    SetOutPath "$INSTDIR"
    !insertmacro TalvorenInstallFiles
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\talvoren.exe"

    WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\talvoren.exe,0"
    WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
    WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $1
SectionEnd

Section "un.Talvoren"
    SectionIn RO
    Call un.CloseTalvoren
    !insertmacro TalvorenUninstallFiles
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd

; Off unless ticked: the settings belong to the person, not to the setup.
Section /o "un.$(RemoveSettings)" SecSettings
    DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd

Function un.onInit
    SetShellVarContext all
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVESETTINGS" $1
    ${IfNot} ${Errors}
        SectionSetFlags ${SecSettings} ${SF_SELECTED}
    ${EndIf}
FunctionEnd
