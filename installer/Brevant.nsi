; The suite's installer: the tray tool, the key control and the WebSocket
; bridge for 64-bit Windows, into %ProgramFiles%\Quillon\Brevant, and the
; 32-bit key control for the browsers' 32-bit page processes into its folder
; x86. scripts/pack-installer stages BIN and runs
;   makensis -DVERSION=1.0.0 -DBIN=<staged programs> -DOUTFILE=<setup.exe>
;            [-DSIGN=<command that signs the file named after it>]
;            [-DMAKER_DEVICE_LIBRARY] Brevant.nsi
; MAKER_DEVICE_LIBRARY: a bank's build, whose BIN holds the key maker's
; RVA.dll (and x86\RVA.dll) instead of the software key.
; Silent with /S (install and uninstall.exe alike). Exit codes beside NSIS's
; own (0 done, 1 cancelled, 2 stopped): 3 a newer version is installed,
; 4 the folder is not one under Program Files.
Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!ifndef VERSION | BIN | OUTFILE
  !error "VERSION, BIN and OUTFILE must be given with -D"
!endif

; The uninstaller is signed before it is packed (WriteUninstaller writes
; the signed copy), the installer once it is made; a failed signing fails
; the build.
!ifdef SIGN
  !uninstfinalize '${SIGN} "%1"' = 0
  !finalize '${SIGN} "%1"' = 0
!endif

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "StrFunc.nsh"
!include "WordFunc.nsh"
${StrStr}

!define PRODUCT "USBKey证书管理工具"
!define PUBLISHER "Quillon"
!define ARP_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Brevant"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; Every user of the machine gets the tool's install run (the bank's trusted
; sites are per user) once per version, at their next logon.
!define ACTIVE_SETUP_KEY "Software\Microsoft\Active Setup\Installed Components\{8FC9B5E3-E6FC-4007-811A-1F7DF6C2BADD}"
; What the installation leaves for support to read: how the 32-bit control
; fared (value Control32).
!define SUITE_KEY "SOFTWARE\${PUBLISHER}\Brevant"
!searchreplace ACTIVE_SETUP_VERSION "${VERSION}" "." ","
!define EXIT_NEWER_INSTALLED 3
!define EXIT_FOLDER_REFUSED 4

; An earlier installation of the suite, from its programs-list entry.
Var PreviousVersion
Var PreviousFolder

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PUBLISHER}\Brevant"
BrandingText "${PUBLISHER} ${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT}安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}.0"
VIAddVersionKey /LANG=2052 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${BIN}\Brevant.ico"
!define MUI_UNICON "${BIN}\Brevant.ico"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "本向导将在您的计算机上安装${PRODUCT} ${VERSION}：托盘工具 Brevant、网页控件 Kestrine 和本机网页桥 Corvane。$\r$\n$\r$\n安装前请关闭正在使用USBKey的网上银行页面。$\r$\n$\r$\n单击“下一步”继续。"
!define MUI_COMPONENTSPAGE_SMALLDESC
!define MUI_FINISHPAGE_TEXT "${PRODUCT}已安装。插入USBKey后，托盘工具会显示它的证书并将证书登记到您的证书存储区。"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipFolderPageOnUpgrade
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckFolderPage
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

; A running tool or bridge holds its files open: both are ended before their
; files are replaced or removed, the way a logoff ends them. Each is asked
; first (taskkill without /F posts WM_CLOSE to its windows; the tool ends,
; the bridge ends its loop) and forced only when it has not ended within ten
; seconds, or has no window to ask (a bridge of an earlier release).
; taskkill answers 128 once no such process is left. $R9 collects the
; names of programs that had to be forced.
!macro EndProgram NAME
  StrCpy $1 0
  ${Do}
    nsExec::Exec '"$SYSDIR\taskkill.exe" /IM ${NAME}'
    Pop $0
    ${If} $0 == 128
      ${Break}
    ${EndIf}
    ${If} $0 != 0
    ${OrIf} $1 >= 40
      DetailPrint "${NAME} 未按请求退出，强制结束"
      StrCpy $R9 "$R9 ${NAME}"
      nsExec::Exec '"$SYSDIR\taskkill.exe" /F /IM ${NAME}'
      Pop $0
      Sleep 500
      ${Break}
    ${EndIf}
    Sleep 250
    IntOp $1 $1 + 1
  ${Loop}
!macroend

!macro EndSuitePrograms
  DetailPrint "正在关闭证书管理工具和网页桥..."
  StrCpy $R9 ""
  !insertmacro EndProgram Brevant.exe
  !insertmacro EndProgram Corvane.exe
!macroend

; Programs the installer starts run as the user signed in at this desktop,
; not with the installer's token, which is elevated and may be another
; administrator's: StartAsUser.exe asks the desktop's shell to start them.
; Where no shell answers (no one signed in, a deployment account), nothing
; is started: the Run entries and Active Setup start both at the next logon.
; $0: StartAsUser.exe's exit code (0 started, 3 no shell).
!macro StartAsSignedInUser ARGUMENTS
  ExecWait '"$PLUGINSDIR\StartAsUser.exe" ${ARGUMENTS}' $0
!macroend

!macro UnpackStartAsUser
  InitPluginsDir
  File "/oname=$PLUGINSDIR\StartAsUser.exe" "${BIN}\StartAsUser.exe"
!macroend

; Whether this Windows runs 32-bit programs (WoW64): Windows Server can go
; without it, and so does a 64-bit-only Wine. $0: 1 or 0.
!macro Runs32BitPrograms
  ClearErrors
  StrCpy $0 ""
  ExecWait '"$WINDIR\SysWOW64\cmd.exe" /c exit 32' $0
  ${If} ${Errors}
  ${OrIf} $0 != 32
    StrCpy $0 0
  ${Else}
    StrCpy $0 1
  ${EndIf}
!macroend

; The 32-bit control goes into the 32-bit registry view, as the 32-bit
; regsvr32 writes it; beside the 64-bit one, with the same class, ProgID and
; type library. Without 32-bit programs there is nothing that could load
; it: that is said in Control32, not taken for a failure.
Function Register32BitControl
  !insertmacro Runs32BitPrograms
  ${If} $0 == 0
    DetailPrint "此系统不运行32位程序：32位网页控件未注册"
    WriteRegStr HKLM "${SUITE_KEY}" "Control32" "not registered: this system runs no 32-bit programs"
    Return
  ${EndIf}
  ExecWait '"$WINDIR\SysWOW64\regsvr32.exe" /s "$INSTDIR\x86\Kestrine.dll"' $0
  ${If} $0 != 0
    DetailPrint "32位 Kestrine.dll 注册失败（$0）"
    WriteRegStr HKLM "${SUITE_KEY}" "Control32" "registration failed ($0)"
    SetErrors
    MessageBox MB_ICONSTOP "32位网页控件 Kestrine.dll 注册失败。" /SD IDOK
    Abort
  ${EndIf}
  WriteRegStr HKLM "${SUITE_KEY}" "Control32" "registered"
FunctionEnd

Function un.Unregister32BitControl
  !insertmacro Runs32BitPrograms
  ${If} $0 == 1
    ExecWait '"$WINDIR\SysWOW64\regsvr32.exe" /u /s "$INSTDIR\x86\Kestrine.dll"' $0
  ${EndIf}
  DeleteRegValue HKLM "${SUITE_KEY}" "Control32"
FunctionEnd

; The programs and everything they may change stay writable by
; administrators only: only a folder under Program Files is taken (a
; folder elsewhere inherits rights that let every user replace Corvane.exe,
; which the installer runs elevated, or the bank's site list).
; $0: "" when $INSTDIR will do, else why not.
Function CheckInstallFolder
  StrCpy $0 ""
  StrLen $1 "$PROGRAMFILES64\"
  StrCpy $2 "$INSTDIR" $1
  ${StrStr} $3 "$INSTDIR" ".."
  ${StrStr} $4 "$INSTDIR" "/"
  ${If} $2 != "$PROGRAMFILES64\"
  ${OrIf} $3 != ""
  ${OrIf} $4 != ""
  ${OrIf} "$INSTDIR" == "$PROGRAMFILES64\"
    StrCpy $0 "请选择“$PROGRAMFILES64”下的文件夹：其他位置的文件夹允许所有用户更改其中的程序，证书管理工具不能安装在那里。"
  ${EndIf}
FunctionEnd

Function .onInit
  ReadRegStr $PreviousVersion HKLM "${ARP_KEY}" "DisplayVersion"
  ReadRegStr $PreviousFolder HKLM "${ARP_KEY}" "InstallLocation"
  ${If} $PreviousVersion != ""
    ; A newer version is never replaced by an older one.
    ${VersionCompare} "$PreviousVersion" "${VERSION}" $0
    ${If} $0 == 1
      MessageBox MB_ICONSTOP "此计算机已安装${PRODUCT} $PreviousVersion，比本安装程序的 ${VERSION} 新，不能用旧版本覆盖。$\r$\n如确需换用旧版本，请先在“应用和功能”中卸载已安装的版本。" /SD IDOK
      SetErrorLevel ${EXIT_NEWER_INSTALLED}
      Quit
    ${EndIf}
    ; An upgrade stays where the earlier version is.
    ${If} $PreviousFolder != ""
      StrCpy $INSTDIR $PreviousFolder
    ${EndIf}
  ${EndIf}
  Call CheckInstallFolder
  ${If} $0 != ""
  ${AndIf} $PreviousVersion != ""
    MessageBox MB_ICONSTOP "已安装的${PRODUCT} $PreviousVersion 位于“$INSTDIR”，不在“$PROGRAMFILES64”下。请先在“应用和功能”中卸载它，再运行本安装程序。" /SD IDOK
    SetErrorLevel ${EXIT_FOLDER_REFUSED}
    Quit
  ${ElseIf} $0 != ""
  ${AndIf} ${Silent}
    SetErrorLevel ${EXIT_FOLDER_REFUSED}
    Quit
  ${EndIf}
  !insertmacro UnpackStartAsUser
FunctionEnd

Function SkipFolderPageOnUpgrade
  ${If} $PreviousVersion != ""
    Abort
  ${EndIf}
FunctionEnd

Function CheckFolderPage
  Call CheckInstallFolder
  ${If} $0 != ""
    MessageBox MB_ICONEXCLAMATION "$0"
    Abort
  ${EndIf}
FunctionEnd

; A device library (RVA.dll) is replaced or removed only by the kind of
; build that put it there: a software-key build never replaces nor removes
; a maker's library (a bank's build, or one put in the folder by hand);
; a bank's build replaces the software key. What was installed is recorded
; under SUITE_KEY (value RECORD: kind and file time); a file with another
; time is no longer ours, and stays, record and all. A folder from a
; release that kept no record: the library beside tokenctl.exe is the
; software key's.
!ifdef MAKER_DEVICE_LIBRARY
  !define LIBRARY_KIND "maker"
!else
  !define LIBRARY_KIND "software"
!endif
; $R0: the library's path, $R1: its record's name. $0: 1 when this build may
; replace (installer) or remove (uninstaller) it, or it is not there; else 0.
!macro DeviceLibraryIsOurs UN
Function ${UN}DeviceLibraryIsOurs
  StrCpy $0 1
  IfFileExists "$R0" 0 done
  StrCpy $0 0
  ClearErrors
  ReadRegStr $2 HKLM "${SUITE_KEY}" "$R1"
  ${If} ${Errors}
    ${If} "${UN}" == ""
    ${AndIf} ${FileExists} "$INSTDIR\tokenctl.exe"
      StrCpy $0 1
    ${EndIf}
    Goto done
  ${EndIf}
  GetFileTime "$R0" $3 $4
  ${If} $2 == "${LIBRARY_KIND} $3 $4"
    StrCpy $0 1
  ${ElseIf} "${UN}" == ""
  ${AndIf} $2 == "software $3 $4"
    StrCpy $0 1
  ${EndIf}
  done:
FunctionEnd
!macroend
!insertmacro DeviceLibraryIsOurs ""
!insertmacro DeviceLibraryIsOurs "un."

; $0: 1 installed, 0 kept.
!macro InstallDeviceLibrary FOLDER SOURCE RECORD
  StrCpy $R0 "${FOLDER}\RVA.dll"
  StrCpy $R1 "${RECORD}"
  Call DeviceLibraryIsOurs
  ${If} $0 == 1
    SetOutPath "${FOLDER}"
    File "${SOURCE}"
    GetFileTime "$R0" $3 $4
    WriteRegStr HKLM "${SUITE_KEY}" "${RECORD}" "${LIBRARY_KIND} $3 $4"
  ${Else}
    DetailPrint "保留“${FOLDER}”中已有的设备库 RVA.dll（非本安装程序放入）"
  ${EndIf}
!macroend

!macro RemoveDeviceLibrary FOLDER RECORD
  StrCpy $R0 "${FOLDER}\RVA.dll"
  StrCpy $R1 "${RECORD}"
  Call un.DeviceLibraryIsOurs
  ${If} $0 == 1
    Delete "$R0"
    DeleteRegValue HKLM "${SUITE_KEY}" "${RECORD}"
  ${EndIf}
!macroend

Section "证书管理工具（必需）" SecSuite
  SectionIn RO
  !insertmacro EndSuitePrograms
  ; For support: whether the programs of an earlier run ended when asked.
  ${If} $R9 == ""
    WriteRegStr HKLM "${SUITE_KEY}" "ProgramsEnded" "when asked, or none was running"
  ${Else}
    WriteRegStr HKLM "${SUITE_KEY}" "ProgramsEnded" "forced:$R9"
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "${BIN}\Brevant.exe"
  File "${BIN}\Kestrine.dll"
  File "${BIN}\Corvane.exe"
  File "${BIN}\RVControl.ini"
  File "${BIN}\TKLN0804.ini"
  File "${BIN}\Brevant.ico"
  File "${BIN}\QZR_logo.bmp"
  ; The banner drawn for 125, 150 and 200 % display scaling.
  File "${BIN}\QZR_logo_125.bmp"
  File "${BIN}\QZR_logo_150.bmp"
  File "${BIN}\QZR_logo_200.bmp"
  ; Edge's IE mode and Internet Explorer show pages in 32-bit processes by
  ; default: they load this one. It follows the settings file above it.
  SetOutPath "$INSTDIR\x86"
  File "${BIN}\x86\Kestrine.dll"
SectionEnd

!ifdef MAKER_DEVICE_LIBRARY
; A bank's build: the key maker's device libraries, always; no software key.
Section "-DeviceLibrary" SecDeviceLibrary
  !insertmacro InstallDeviceLibrary "$INSTDIR" "${BIN}\RVA.dll" "DeviceLibrary"
  !insertmacro InstallDeviceLibrary "$INSTDIR\x86" "${BIN}\x86\RVA.dll" "DeviceLibrary32"
  ; Left by an earlier build with the software key.
  Delete "$INSTDIR\tokenctl.exe"
SectionEnd
!else
; The software token stands in for the maker's device library, which is not
; ours to ship; a bank's build packs the maker's (scripts/pack-installer).
Section "软件USBKey（模拟设备库 RVA.dll 与 tokenctl）" SecToken
  !insertmacro InstallDeviceLibrary "$INSTDIR\x86" "${BIN}\x86\RVA.dll" "DeviceLibrary32"
  !insertmacro InstallDeviceLibrary "$INSTDIR" "${BIN}\RVA.dll" "DeviceLibrary"
  ; tokenctl drives the software key only: not beside a maker's library.
  ${If} $0 == 1
    SetOutPath "$INSTDIR"
    File "${BIN}\tokenctl.exe"
  ${EndIf}
SectionEnd
!endif

; Today's Chrome and Edge hold a public site's connection to this machine's
; loopback address back unless the user, or the machine's policy, allows it.
; The bridge lists the bank's sites (its own list of RVControl.ini) in both
; browsers' policy LoopbackNetworkAllowedForUrls beside whatever an
; organisation listed, and records what it added for the uninstaller. An
; organisation that manages its browsers itself leaves this out.
Section "允许银行网站连接网页桥（浏览器策略）" SecBrowserPolicy
  DetailPrint "正在允许银行网站连接本机网页桥..."
  nsExec::ExecToLog '"$INSTDIR\Corvane.exe" --loopback-policy add'
  Pop $0
  ${If} $0 == 3
    MessageBox MB_ICONEXCLAMATION "贵单位以单个值设置了浏览器策略 LoopbackNetworkAllowedForUrls，安装程序没有更改它，也没有列入银行网站。$\r$\n请贵单位的管理员把银行网站加入该策略；否则浏览器会先询问用户是否允许银行网站访问“此设备上的应用和服务”。" /SD IDOK
  ${ElseIf} $0 != 0
    MessageBox MB_ICONEXCLAMATION "未能为 Chrome 和 Edge 写入允许银行网站连接本机网页桥的策略（$0）。$\r$\n浏览器会先询问用户是否允许银行网站访问“此设备上的应用和服务”。" /SD IDOK
  ${EndIf}
  ; Edge hosts the key control only in IE mode: the bank's control pages
  ; (IDS_IEMODE_PAGES) go into an IE-mode site list named by Edge's policy.
  ; An organisation's own IE mode policy is kept (said in the log).
  nsExec::ExecToLog '"$INSTDIR\Corvane.exe" --ie-mode-policy add'
  Pop $0
  ${If} $0 != 0
    MessageBox MB_ICONEXCLAMATION "未能为 Edge 写入 Internet Explorer 模式的网站列表（$0）。$\r$\n银行使用网页控件的页面需由用户在 Edge 中“在 Internet Explorer 模式下重新加载”。" /SD IDOK
  ${EndIf}
SectionEnd

Section "-Register"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ClearErrors
  RegDLL "$INSTDIR\Kestrine.dll"
  ${If} ${Errors}
    DetailPrint "Kestrine.dll 注册失败"
    SetErrors
    MessageBox MB_ICONSTOP "网页控件 Kestrine.dll 注册失败。" /SD IDOK
    Abort
  ${EndIf}

  Call Register32BitControl

  WriteRegStr HKLM "${RUN_KEY}" "Brevant" '"$INSTDIR\Brevant.exe"'
  WriteRegStr HKLM "${RUN_KEY}" "Corvane" '"$INSTDIR\Corvane.exe"'

  ; Windows waits for a logon command to end before the logon goes on, and
  ; the install run goes on as the tray tool: started through "start" so that
  ; the command ends at once. A new version raises Version: every user's
  ; next logon runs the install run once again. The install run marks its
  ; own user as done.
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "" "${PRODUCT}"
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "Version" "${ACTIVE_SETUP_VERSION}"
  WriteRegDWORD HKLM "${ACTIVE_SETUP_KEY}" "IsInstalled" 1
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "StubPath" '"$SYSDIR\cmd.exe" /c start "" "$INSTDIR\Brevant.exe" install'

  WriteRegStr HKLM "${ARP_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${ARP_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${ARP_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${ARP_KEY}" "DisplayIcon" "$INSTDIR\Brevant.ico"
  WriteRegStr HKLM "${ARP_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${ARP_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${ARP_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${ARP_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${ARP_KEY}" "NoRepair" 1
  SectionGetSize ${SecSuite} $0
!ifdef MAKER_DEVICE_LIBRARY
  SectionGetSize ${SecDeviceLibrary} $1
!else
  SectionGetSize ${SecToken} $1
  ${IfNot} ${SectionIsSelected} ${SecToken}
    StrCpy $1 0
  ${EndIf}
!endif
  IntOp $0 $0 + $1
  WriteRegDWORD HKLM "${ARP_KEY}" "EstimatedSize" $0

  ; Installed again without the browser policy: what an earlier install
  ; listed goes.
  ${IfNot} ${SectionIsSelected} ${SecBrowserPolicy}
    ; IE mode's pair first: Edge's policy key, which the loopback list may
    ; have made, can only go once our pair is out of it.
    nsExec::ExecToLog '"$INSTDIR\Corvane.exe" --ie-mode-policy remove'
    Pop $0
    nsExec::ExecToLog '"$INSTDIR\Corvane.exe" --loopback-policy remove'
    Pop $0
  ${EndIf}

  ; The signed-in user's install run (the bank's trusted sites, the settings
  ; copy brought up to this version, then the tray tool) and the bridge.
  ; "Started" tells support which way they went.
  !insertmacro StartAsSignedInUser '"$INSTDIR\Brevant.exe" install'
  ${If} $0 == 0
    !insertmacro StartAsSignedInUser '"$INSTDIR\Corvane.exe"'
    WriteRegStr HKLM "${SUITE_KEY}" "Started" "as the signed-in user, through the desktop's shell"
  ${Else}
    DetailPrint "没有已登录用户的桌面（$0）：证书管理工具和网页桥将在用户下次登录时启动"
    WriteRegStr HKLM "${SUITE_KEY}" "Started" "at the next logon: no desktop shell answered ($0)"
  ${EndIf}
SectionEnd

LangString DESC_SecSuite ${LANG_SIMPCHINESE} "托盘工具、网页控件、本机网页桥及其设置和文字。"
!ifndef MAKER_DEVICE_LIBRARY
LangString DESC_SecToken ${LANG_SIMPCHINESE} "用文件模拟的USBKey，仅供没有硬件时试用。银行的正式安装程序带有USBKey厂商的设备库，没有此项。安装文件夹中已有厂商的 RVA.dll 时，它保持不变。"
!endif
LangString DESC_SecBrowserPolicy ${LANG_SIMPCHINESE} "在 Chrome、Edge 策略中允许银行网站访问网页桥；银行列出控件页面时，让 Edge 以 Internet Explorer 模式打开这些页面。单位已有的策略不变，卸载时只删除本程序添加的内容。"
!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecSuite} $(DESC_SecSuite)
!ifndef MAKER_DEVICE_LIBRARY
  !insertmacro MUI_DESCRIPTION_TEXT ${SecToken} $(DESC_SecToken)
!endif
  !insertmacro MUI_DESCRIPTION_TEXT ${SecBrowserPolicy} $(DESC_SecBrowserPolicy)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function un.onInit
  !insertmacro UnpackStartAsUser
FunctionEnd

; Only what the installer put there goes; the user's own data stays: the
; per-user settings copy, the trusted-site entries and the simulated keys.
; Entries of the browsers' policy go while the bridge is still there to
; take them out.
Section "Uninstall"
  !insertmacro EndSuitePrograms
  ; The certificates of a key still plugged in, registered by the tool for
  ; the signed-in user, are bound to the provider that goes now: the tool's
  ; quiet "uninstall" run takes them out of that user's stores. Without a
  ; desktop shell it runs as this account (where that is the user, as under
  ; Wine, the same; otherwise it finds nothing).
  DetailPrint "正在从证书存储区删除USBKey的证书..."
  !insertmacro StartAsSignedInUser '--wait "$INSTDIR\Brevant.exe" uninstall'
  ${If} $0 == 3
    ExecWait '"$INSTDIR\Brevant.exe" uninstall' $0
  ${EndIf}
  ${If} $0 != 0
    DetailPrint "删除证书未完成（$0）"
  ${EndIf}

  ; Only the entries this installation added to the browsers' policy; IE
  ; mode's pair first, so that an Edge policy key the loopback list made is
  ; empty when that list goes. Should either fail, Corvane.exe stays to run
  ; it again (as an administrator: Corvane.exe --ie-mode-policy remove, then
  ; --loopback-policy remove), and the user is told how. Corvane.exe is a
  ; Windows-subsystem program (a hidden window, no console): a command
  ; prompt returns at once without its exit code unless started with
  ; "start /wait", and only ASCII quotes hold the path's blank together.
  StrCpy $5 0
  nsExec::ExecToLog '"$INSTDIR\Corvane.exe" --ie-mode-policy remove'
  Pop $0
  ${If} $0 != 0
    StrCpy $5 1
  ${EndIf}
  nsExec::ExecToLog '"$INSTDIR\Corvane.exe" --loopback-policy remove'
  Pop $0
  ${If} $0 != 0
    StrCpy $5 1
  ${EndIf}
  ${If} $5 == 1
    DetailPrint "未能从浏览器策略中删除银行网站：Corvane.exe 保留在“$INSTDIR”"
    MessageBox MB_ICONEXCLAMATION "未能从 Chrome、Edge 的策略中删除本程序添加的银行网站。$\r$\n$\r$\nCorvane.exe 保留在“$INSTDIR”。请以管理员身份打开命令提示符，逐行运行（Corvane.exe 不是控制台程序，用 start /wait 命令提示符才会等它结束）：$\r$\nstart /wait $\"$\" $\"$INSTDIR\Corvane.exe$\" --ie-mode-policy remove$\r$\necho %errorlevel%$\r$\nstart /wait $\"$\" $\"$INSTDIR\Corvane.exe$\" --loopback-policy remove$\r$\necho %errorlevel%$\r$\n两次显示的都是 0 后即可删除该文件夹。" /SD IDOK
  ${EndIf}

  UnRegDLL "$INSTDIR\Kestrine.dll"
  Call un.Unregister32BitControl
  DeleteRegValue HKLM "${RUN_KEY}" "Brevant"
  DeleteRegValue HKLM "${RUN_KEY}" "Corvane"
  DeleteRegKey HKLM "${ACTIVE_SETUP_KEY}"
  Delete "$INSTDIR\Brevant.exe"
  Delete "$INSTDIR\Kestrine.dll"
  ${If} $5 == 0
    Delete "$INSTDIR\Corvane.exe"
  ${EndIf}
  ; Gone with --ie-mode-policy remove already, unless that failed.
  Delete "$INSTDIR\IEModeSites.xml"
  Delete "$INSTDIR\RVControl.ini"
  Delete "$INSTDIR\TKLN0804.ini"
  Delete "$INSTDIR\Brevant.ico"
  Delete "$INSTDIR\QZR_logo.bmp"
  Delete "$INSTDIR\QZR_logo_125.bmp"
  Delete "$INSTDIR\QZR_logo_150.bmp"
  Delete "$INSTDIR\QZR_logo_200.bmp"
  !insertmacro RemoveDeviceLibrary "$INSTDIR" "DeviceLibrary"
  !insertmacro RemoveDeviceLibrary "$INSTDIR\x86" "DeviceLibrary32"
  Delete "$INSTDIR\tokenctl.exe"
  Delete "$INSTDIR\x86\Kestrine.dll"
  RMDir "$INSTDIR\x86"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  ${If} "$INSTDIR" == "$PROGRAMFILES64\${PUBLISHER}\Brevant"
    RMDir "$PROGRAMFILES64\${PUBLISHER}"
  ${EndIf}
  DeleteRegValue HKLM "${SUITE_KEY}" "Started"
  DeleteRegValue HKLM "${SUITE_KEY}" "ProgramsEnded"
  DeleteRegKey /ifempty HKLM "${SUITE_KEY}"
  DeleteRegKey /ifempty HKLM "SOFTWARE\${PUBLISHER}"
  DeleteRegKey HKLM "${ARP_KEY}"
SectionEnd
