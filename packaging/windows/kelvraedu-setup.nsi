; Setup program of the Kelvra teaching-cloud client.
;
; Per user by default (no administrator rights): the user's local programs folder and the
; user's classes. "/ALLUSERS" (run as administrator) installs for every user into the
; Program Files folder and registers the automation class machine-wide. "/S" is silent and
; "/D=folder" chooses the folder. The uninstaller runs the matching unregister switch first
; and keeps the user's settings unless asked to remove them.
;
; Defined by the build (makensis -D...): VERSION, CLIENT_EXE, ICON, OUTFILE, UPDATER_EXE when
; the build has the updater and, for the 64-bit build, AMD64.

Unicode true
SetCompressor /SOLID lzma
!ifdef AMD64
  Target amd64-unicode
  !define PROGRAMS_FOLDER "$PROGRAMFILES64"
!else
  Target x86-unicode
  !define PROGRAMS_FOLDER "$PROGRAMFILES32"
!endif

!define PRODUCT "Kelvra教学云客户端"
!define PUBLISHER "Kelvra"
!define EXE "kelvraedu.exe"
!define UNINSTALLER "uninstall.exe"
!define UPDATER "updater.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KelvraEdu"
!define MUTEX "KelvraCloudApp"
!define SETTINGS_FOLDER "kelvraeduConfig"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
ManifestDPIAware true
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

Var AllUsers  ; "1" when installing or removing for all users

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the default; the user's own UI language is chosen when listed.
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "English"

LangString MsgRunning ${LANG_SIMPCHINESE} "${PRODUCT}正在运行。请先退出客户端，再重新运行本程序。"
LangString MsgRunning ${LANG_ENGLISH} "${PRODUCT} is running. Close the client, then run this program again."
LangString MsgNeedAdmin ${LANG_SIMPCHINESE} "为所有用户安装或卸载需要管理员权限。"
LangString MsgNeedAdmin ${LANG_ENGLISH} "Installing or removing for all users needs administrator rights."
LangString MsgRegisterFailed ${LANG_SIMPCHINESE} "注册${PRODUCT}的自动化服务失败（退出码 $0）。安装未完成，已安装的文件已删除。"
LangString MsgRegisterFailed ${LANG_ENGLISH} "Registering the automation server of ${PRODUCT} failed (exit code $0). The installation did not complete; its files were removed."
LangString MsgCannotWrite ${LANG_SIMPCHINESE} "无法写入 $INSTDIR\${EXE}。"
LangString MsgCannotWrite ${LANG_ENGLISH} "Cannot write $INSTDIR\${EXE}."
LangString SecSettings ${LANG_SIMPCHINESE} "同时删除我的客户端设置"
LangString SecSettings ${LANG_ENGLISH} "Also remove my client settings"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
!macro VERSION_STRINGS LANG DESCRIPTION
  VIAddVersionKey /LANG=${LANG} "ProductName" "${PRODUCT}"
  VIAddVersionKey /LANG=${LANG} "CompanyName" "${PUBLISHER}"
  VIAddVersionKey /LANG=${LANG} "FileDescription" "${DESCRIPTION}"
  VIAddVersionKey /LANG=${LANG} "FileVersion" "${VERSION}"
  VIAddVersionKey /LANG=${LANG} "ProductVersion" "${VERSION}"
  VIAddVersionKey /LANG=${LANG} "LegalCopyright" "© ${PUBLISHER}"
!macroend
!insertmacro VERSION_STRINGS ${LANG_SIMPCHINESE} "${PRODUCT}安装程序"
!insertmacro VERSION_STRINGS ${LANG_ENGLISH} "${PRODUCT} setup"

; Refuses while the client runs: an executable in use is never half replaced. Silent runs
; end with exit code 2, the others after a message.
!macro REFUSE_WHILE_RUNNING
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${MUTEX}") p .r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_OK|MB_ICONSTOP "$(MsgRunning)" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
!macroend

; Reads "/ALLUSERS" from the command line and sets the shell context.
!macro CHOOSE_CONTEXT UN
  StrCpy $AllUsers ""
  ${${UN}GetParameters} $R0
  ClearErrors
  ${${UN}GetOptions} $R0 "/ALLUSERS" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
    UserInfo::GetAccountType
    Pop $R1
    ${If} $R1 != "Admin"
      MessageBox MB_OK|MB_ICONSTOP "$(MsgNeedAdmin)" /SD IDOK
      SetErrorLevel 3
      Quit
    ${EndIf}
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
!macroend

!macro REGISTER_SWITCH UN RESULT
  ${If} $AllUsers == 1
    ExecWait '"$INSTDIR\${EXE}" /${UN}REGSERVER' ${RESULT}
  ${Else}
    ExecWait '"$INSTDIR\${EXE}" /${UN}REGSERVERPERUSER' ${RESULT}
  ${EndIf}
!macroend

; Everything the setup program puts on the machine, removed by the uninstaller and by a
; failed installation. Only known files go; the folder goes when nothing else is in it.
!macro REMOVE_INSTALLATION UN
  Function ${UN}RemoveInstallation
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$DESKTOP\${PRODUCT}.lnk"
    ${If} $AllUsers == 1
      DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${Else}
      DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${EndIf}
    Delete "$INSTDIR\${EXE}"
    Delete "$INSTDIR\${UPDATER}"  ; also one that an update brought
    Delete "$INSTDIR\KUPDATE.LOG"  ; the client's update log, written beside it
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"
  FunctionEnd
!macroend
!insertmacro REMOVE_INSTALLATION ""
!insertmacro REMOVE_INSTALLATION "un."

; The Apps & features entry; $R2 holds the installed size in KB.
!macro WRITE_UNINSTALL_ENTRY ROOT UNINSTALL
  WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
  WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "UninstallString" '${UNINSTALL}'
  WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "QuietUninstallString" '${UNINSTALL} /S'
  WriteRegDWORD ${ROOT} "${UNINSTALL_KEY}" "EstimatedSize" $R2
  WriteRegDWORD ${ROOT} "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD ${ROOT} "${UNINSTALL_KEY}" "NoRepair" 1
!macroend

Function .onInit
  !insertmacro REFUSE_WHILE_RUNNING
  !insertmacro CHOOSE_CONTEXT ""
  ${If} $INSTDIR == ""  ; no "/D="
    ; An existing installation is upgraded in place.
    ${If} $AllUsers == 1
      ReadRegStr $INSTDIR HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${Else}
      ReadRegStr $INSTDIR HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${EndIf}
  ${EndIf}
  ${If} $INSTDIR == ""
    ${If} $AllUsers == 1
      StrCpy $INSTDIR "${PROGRAMS_FOLDER}\KelvraEdu"
    ${Else}
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\KelvraEdu"
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "!${PRODUCT}" SecMain
  SectionIn RO
  ; The client may have been started while the pages were shown.
  !insertmacro REFUSE_WHILE_RUNNING
  SetOutPath "$INSTDIR"
  ClearErrors
  File "/oname=${EXE}" "${CLIENT_EXE}"
  ; The program the client starts when the teacher accepts an update.
  !ifdef UPDATER_EXE
    File "/oname=${UPDATER}" "${UPDATER_EXE}"
  !endif
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "$(MsgCannotWrite)" /SD IDOK
    SetErrorLevel 4
    Quit
  ${EndIf}
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  !insertmacro REGISTER_SWITCH "" $0
  ${If} $0 != 0
    MessageBox MB_OK|MB_ICONSTOP "$(MsgRegisterFailed)" /SD IDOK
    !insertmacro REGISTER_SWITCH "UN" $1
    Call RemoveInstallation
    SetErrorLevel 5
    Quit
  ${EndIf}

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0

  ${GetSize} "$INSTDIR" "/S=0K" $R2 $R3 $R4
  ${If} $AllUsers == 1
    !insertmacro WRITE_UNINSTALL_ENTRY HKLM '"$INSTDIR\${UNINSTALLER}" /ALLUSERS'
  ${Else}
    !insertmacro WRITE_UNINSTALL_ENTRY HKCU '"$INSTDIR\${UNINSTALLER}"'
  ${EndIf}
SectionEnd

Section "-un.Main"
  !insertmacro REGISTER_SWITCH "UN" $0
  Call un.RemoveInstallation
SectionEnd

Section /o "un.$(SecSettings)" SecSettings
  ; The settings live under the user's own APPDATA, also after an all-users installation.
  ReadEnvStr $0 APPDATA
  ${If} $0 != ""
    RMDir /r "$0\${SETTINGS_FOLDER}"
  ${EndIf}
SectionEnd

Function un.onInit
  !insertmacro REFUSE_WHILE_RUNNING
  !insertmacro CHOOSE_CONTEXT "un."
FunctionEnd
