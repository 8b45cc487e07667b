; The suite's installer: the tray tool, the key control and the WebSocket
; bridge for 64-bit Windows, into %ProgramFiles%\Quillon\Brevant, and the
; 32-bit key control for the browsers' 32-bit page processes into its folder
; x86.
;   makensis -DVERSION=1.0.0 -DBIN=<folder of the built programs> -DOUTFILE=<setup.exe>
;            [-DSIGN=<command that signs the file named after it>] Brevant.nsi
; Silent with /S (install and uninstall.exe alike).
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
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

; A running tool or bridge holds its files open: both are ended before their
; files are replaced or removed. The tool keeps no unsaved state.
!macro EndSuitePrograms
  DetailPrint "正在关闭证书管理工具和网页桥..."
  ExecWait '"$SYSDIR\taskkill.exe" /F /IM Brevant.exe' $0
  ExecWait '"$SYSDIR\taskkill.exe" /F /IM Corvane.exe' $0
  Sleep 500
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
  DeleteRegKey /ifempty HKLM "${SUITE_KEY}"
  DeleteRegKey /ifempty HKLM "SOFTWARE\${PUBLISHER}"
FunctionEnd

Section "证书管理工具（必需）" SecSuite
  SectionIn RO
  !insertmacro EndSuitePrograms
  SetOutPath "$INSTDIR"
  File "${BIN}\Brevant.exe"
  File "${BIN}\Kestrine.dll"
  File "${BIN}\Corvane.exe"
  File "${BIN}\RVControl.ini"
  File "${BIN}\TKLN0804.ini"
  File "${BIN}\Brevant.ico"
  File "${BIN}\QZR_logo.bmp"
  ; Edge's IE mode and Internet Explorer show pages in 32-bit processes by
  ; default: they load this one. It follows the settings file above it.
  SetOutPath "$INSTDIR\x86"
  File "${BIN}\x86\Kestrine.dll"
SectionEnd

; The software token stands in for the maker's device library, which is not
; ours to ship; a deployment replaces RVA.dll with the maker's.
Section "软件USBKey（模拟设备库 RVA.dll 与 tokenctl）" SecToken
  SetOutPath "$INSTDIR"
  File "${BIN}\RVA.dll"
  File "${BIN}\tokenctl.exe"
  SetOutPath "$INSTDIR\x86"
  File "${BIN}\x86\RVA.dll"
SectionEnd

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
  ${If} $0 != 0
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
  ; the command ends at once.
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "" "${PRODUCT}"
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "Version" "${ACTIVE_SETUP_VERSION}"
  WriteRegDWORD HKLM "${ACTIVE_SETUP_KEY}" "IsInstalled" 1
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "StubPath" '"$SYSDIR\cmd.exe" /c start "" "$INSTDIR\Brevant.exe" install'
  ; The installing account gets the install run below: its next logon need
  ; not run it again (and bring the tool's window up over the desktop).
  WriteRegStr HKCU "${ACTIVE_SETUP_KEY}" "Version" "${ACTIVE_SETUP_VERSION}"

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
  SectionGetSize ${SecToken} $1
  ${IfNot} ${SectionIsSelected} ${SecToken}
    StrCpy $1 0
  ${EndIf}
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

  ; The tool's install run writes the bank's addresses into the current
  ; user's trusted-sites zone, then goes on as the tray tool.
  Exec '"$INSTDIR\Brevant.exe" install'
  ; The bridge is a console program: started here without its window.
  ExecShell "" "$INSTDIR\Corvane.exe" "" SW_HIDE
SectionEnd

LangString DESC_SecSuite ${LANG_SIMPCHINESE} "托盘工具、网页控件、本机网页桥及其设置和文字。"
LangString DESC_SecToken ${LANG_SIMPCHINESE} "用文件模拟的USBKey，仅供没有硬件时试用。银行正式部署时不选此项，而把USBKey厂商的设备库 RVA.dll 放入安装文件夹；两者都没有时，证书管理工具无法识别USBKey，启动时会提示。"
LangString DESC_SecBrowserPolicy ${LANG_SIMPCHINESE} "在 Chrome、Edge 策略中允许银行网站访问网页桥；银行列出控件页面时，让 Edge 以 Internet Explorer 模式打开这些页面。单位已有的策略不变，卸载时只删除本程序添加的内容。"
!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecSuite} $(DESC_SecSuite)
  !insertmacro MUI_DESCRIPTION_TEXT ${SecToken} $(DESC_SecToken)
  !insertmacro MUI_DESCRIPTION_TEXT ${SecBrowserPolicy} $(DESC_SecBrowserPolicy)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; Only what the installer put there goes; the user's own data stays: the
; per-user settings copy, the trusted-site entries and the simulated keys.
; Entries of the browsers' policy go while the bridge is still there to
; take them out.
Section "Uninstall"
  !insertmacro EndSuitePrograms
  ; Only the entries this installation added to the browsers' policy; IE
  ; mode's pair first, so that an Edge policy key the loopback list made is
  ; empty when that list goes.
  nsExec::ExecToLog '"$INSTDIR\Corvane.exe" --ie-mode-policy remove'
  Pop $0
  nsExec::ExecToLog '"$INSTDIR\Corvane.exe" --loopback-policy remove'
  Pop $0
  UnRegDLL "$INSTDIR\Kestrine.dll"
  Call un.Unregister32BitControl
  DeleteRegValue HKLM "${RUN_KEY}" "Brevant"
  DeleteRegValue HKLM "${RUN_KEY}" "Corvane"
  DeleteRegKey HKLM "${ACTIVE_SETUP_KEY}"
  Delete "$INSTDIR\Brevant.exe"
  Delete "$INSTDIR\Kestrine.dll"
  Delete "$INSTDIR\Corvane.exe"
  ; Gone with --ie-mode-policy remove already, unless that failed.
  Delete "$INSTDIR\IEModeSites.xml"
  Delete "$INSTDIR\RVControl.ini"
  Delete "$INSTDIR\TKLN0804.ini"
  Delete "$INSTDIR\Brevant.ico"
  Delete "$INSTDIR\QZR_logo.bmp"
  Delete "$INSTDIR\RVA.dll"
  Delete "$INSTDIR\tokenctl.exe"
  Delete "$INSTDIR\x86\Kestrine.dll"
  Delete "$INSTDIR\x86\RVA.dll"
  RMDir "$INSTDIR\x86"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  ${If} "$INSTDIR" == "$PROGRAMFILES64\${PUBLISHER}\Brevant"
    RMDir "$PROGRAMFILES64\${PUBLISHER}"
  ${EndIf}
  DeleteRegKey HKLM "${ARP_KEY}"
SectionEnd
