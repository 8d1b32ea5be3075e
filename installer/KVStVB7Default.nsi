; Setup program of the standards-check plug-in KVStVB7Default: the 32-bit module and, on 64-bit
; Windows, the 64-bit one, each with its standard file, for all users or for the current user.
; Built by scripts/package.sh, which passes:
;   /DVERSION=... /DPUBLISHER=...  from the module's version resource
;   /DSTAGE=dir (kvstcheck.exe) /DSTAGE32=dir [/DSTAGE64=dir] (KVStVB7Default.dll, KVStMgr.dll, kvstreg.exe;
;   the 64-bit kvstcheck.exe)
;   /DSTANDARD=file /DREADME=file /DOUTFILE=file
Unicode true
ManifestSupportedOS all
RequestExecutionLevel highest
SetCompressor /SOLID lzma

!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh
!include nsDialogs.nsh
!include MUI2.nsh

!define PRODUCT "KVStVB7Default"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; The host library's type library, KVStMgr 95.0, as the registry names it (hexadecimal version).
!define HOST_TYPELIB "TypeLib\{5AD9730A-AC1B-43F5-B402-D1459B883132}\5f.0\0"
!define STANDARD_NAME "KVStPluginDefault.ini"

Name "${PRODUCT} standards-check plug-in"
OutFile "${OUTFILE}"
!getdllversion "${STAGE32}\KVStVB7Default.dll" MODULE_VERSION_
VIProductVersion "${MODULE_VERSION_1}.${MODULE_VERSION_2}.${MODULE_VERSION_3}.${MODULE_VERSION_4}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

; "AllUsers" or "CurrentUser"; whether this account may install for all users.
Var Mode
Var IsAdmin
Var LogFile
Var AllUsersRadio
Var RegAction
Var RegFolder
Var RegFile
Var InstallHost

!define MUI_ABORTWARNING
Page custom ScopePage ScopePageLeave
!define MUI_PAGE_CUSTOMFUNCTION_PRE DirectoryPre
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; ---------------------------------------------------------------------------------------------
; Shared by the setup program and the uninstaller ("un." for the uninstaller's copy).

!macro SHARED PREFIX
; Writes a line to the progress list and to the log in the user's temporary folder, so that a
; silent run says what it did too.
Function ${PREFIX}Log
    Exch $0
    Push $1
    DetailPrint "$0"
    ClearErrors
    FileOpen $1 "$LogFile" a
    ${IfNot} ${Errors}
        FileSeek $1 0 END
        FileWriteUTF16LE $1 "$0$\r$\n"
        FileClose $1
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd

; Push path; Call FileDigest; Pop digest: "size-crc32" of the file's bytes, or "" when it cannot be read.
Function ${PREFIX}FileDigest
    Exch $0
    Push $1
    Push $2
    Push $3
    Push $4
    ClearErrors
    FileOpen $1 "$0" r
    ${If} ${Errors}
        StrCpy $0 ""
    ${Else}
        FileSeek $1 0 END $2
        FileSeek $1 0 SET
        IntOp $3 $2 + 1
        System::Alloc $3
        Pop $3
        System::Call 'kernel32::ReadFile(p r1, p r3, i r2, *i 0 r4, p 0) i .r0'
        ${If} $0 = 0
        ${OrIf} $4 != $2
            StrCpy $0 ""
        ${Else}
            System::Call 'ntdll::RtlComputeCrc32(i 0, p r3, i r4) i .r0'
            IntFmt $0 "%08X" $0
            StrCpy $0 "$2-$0"
        ${EndIf}
        System::Free $3
        FileClose $1
    ${EndIf}
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Exch $0
FunctionEnd

; Sets the scope: the shell folders, the registry root of SHCTX and the native registry view.
Function ${PREFIX}UseMode
    ${If} $Mode == "AllUsers"
        SetShellVarContext all
    ${Else}
        SetShellVarContext current
    ${EndIf}
    ${If} ${RunningX64}
        SetRegView 64
    ${EndIf}
FunctionEnd

; Reads /AllUsers or /CurrentUser; without either, the scope of an earlier install, else all users
; for an administrator and the current user for anyone else. Asking for all users without the
; rights says so and offers the current user (in silent mode: fails with exit code 2).
Function ${PREFIX}ChooseMode
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 == "Admin"
        StrCpy $IsAdmin 1
    ${Else}
        StrCpy $IsAdmin 0
    ${EndIf}
    ${If} ${RunningX64}
        SetRegView 64
    ${EndIf}
    ${GetParameters} $1
    ClearErrors
    ${GetOptions} $1 "/CurrentUser" $0
    ${IfNot} ${Errors}
        StrCpy $Mode "CurrentUser"
    ${Else}
        ClearErrors
        ${GetOptions} $1 "/AllUsers" $0
        ${IfNot} ${Errors}
            StrCpy $Mode "AllUsers"
        ${Else}
            ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallMode"
            ReadRegStr $2 HKCU "${UNINSTALL_KEY}" "InstallMode"
            ${If} $0 != ""
            ${AndIf} $IsAdmin = 1
                StrCpy $Mode "AllUsers"
            ${ElseIf} $2 != ""
                StrCpy $Mode "CurrentUser"
            ${ElseIf} $IsAdmin = 1
                StrCpy $Mode "AllUsers"
            ${Else}
                StrCpy $Mode "CurrentUser"
            ${EndIf}
        ${EndIf}
    ${EndIf}
    ${If} $Mode == "AllUsers"
    ${AndIf} $IsAdmin = 0
        MessageBox MB_YESNO|MB_ICONEXCLAMATION "Installing or removing ${PRODUCT} for all users needs administrator rights, which this account does not have.$\r$\n$\r$\nUse it for the current user only instead?" /SD IDNO IDYES current
        SetErrorLevel 2
        Quit
      current:
        StrCpy $Mode "CurrentUser"
    ${EndIf}
    Call ${PREFIX}UseMode
FunctionEnd


; Runs the architecture folder's kvstreg on a file of that folder, in the chosen scope: sets $0 to
; its exit code.
Function ${PREFIX}Kvstreg
    ${If} $Mode == "AllUsers"
        StrCpy $0 "--machine"
    ${Else}
        StrCpy $0 "--user"
    ${EndIf}
    ExecWait '"$RegFolder\kvstreg.exe" $RegAction $0 "$RegFolder\$RegFile"' $0
FunctionEnd
!macroend

!insertmacro SHARED ""
!insertmacro SHARED "un."

!macro KVSTREG ACTION FOLDER FILE
    StrCpy $RegAction "${ACTION}"
    StrCpy $RegFolder "${FOLDER}"
    StrCpy $RegFile "${FILE}"
    !ifdef __UNINSTALL__
        Call un.Kvstreg
    !else
        Call Kvstreg
    !endif
!macroend

; ---------------------------------------------------------------------------------------------
; Setup program.

Function .onInit
    StrCpy $LogFile "$TEMP\${PRODUCT}-setup.log"
    Delete "$LogFile"
    Call ChooseMode
    Call DefaultFolder
FunctionEnd

; Whether a KVStMgr host library is registered for a system kind (win32 or win64), for the
; machine or for this user: Push syskind; Call HostLibraryRegistered -> $0 is 1 or 0.
Function HostLibraryRegistered
    Exch $1
    Push $2
    StrCpy $0 0
    ReadRegStr $2 HKLM "Software\Classes\${HOST_TYPELIB}\$1" ""
    ${If} $2 != ""
        StrCpy $0 1
    ${EndIf}
    ReadRegStr $2 HKCU "Software\Classes\${HOST_TYPELIB}\$1" ""
    ${If} $2 != ""
        StrCpy $0 1
    ${EndIf}
    Pop $2
    Pop $1
FunctionEnd

; Sets $InstallHost: 1 to install (or update) the stand-in host library for every architecture
; installed, 0 to use the host library that is there. One registered for either architecture means
; the standards manager is installed, and the stand-in stays away: a second registration of the
; library would share its version-independent keys (ProgID) and take them along when removed.
Function DecideHostLibrary
    ReadRegDWORD $0 SHCTX "${UNINSTALL_KEY}" "HostLibrary_x86"
    ReadRegDWORD $1 SHCTX "${UNINSTALL_KEY}" "HostLibrary_x64"
    ${If} $0 = 1
    ${OrIf} $1 = 1
        StrCpy $InstallHost 1
        Return
    ${EndIf}
    StrCpy $InstallHost 1
    Push win32
    Call HostLibraryRegistered
    ${If} $0 = 1
        StrCpy $InstallHost 0
    ${EndIf}
    Push win64
    Call HostLibraryRegistered
    ${If} $0 = 1
        StrCpy $InstallHost 0
    ${EndIf}
    ${If} $InstallHost = 0
        Push "A KVStMgr host library is registered already; the plug-in uses it, and the stand-in is not installed"
        Call Log
    ${EndIf}
FunctionEnd

; An earlier install in the same scope is upgraded in its own folder.
Function DefaultFolder
    ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
        StrCpy $INSTDIR "$0"
    ${ElseIf} $Mode == "AllUsers"
        StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${Else}
        StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
    ${EndIf}
FunctionEnd

; An upgrade stays in the folder of the earlier install.
Function DirectoryPre
    ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
        Abort
    ${EndIf}
FunctionEnd

Function ScopePage
    !insertmacro MUI_HEADER_TEXT "Who uses the plug-in" "Install it for every user of this computer, or for you only."
    nsDialogs::Create 1018
    Pop $0
    ${NSD_CreateLabel} 0 0 100% 24u "For all users the plug-in goes to Program Files and is registered for the whole computer (administrator rights). For the current user it goes to your own programs folder and is registered in your own part of the registry (no administrator rights)."
    Pop $0
    ${NSD_CreateRadioButton} 10u 34u -10u 12u "For all users of this computer"
    Pop $AllUsersRadio
    ${NSD_CreateRadioButton} 10u 50u -10u 12u "For me only"
    Pop $1
    ${If} $IsAdmin = 0
        EnableWindow $AllUsersRadio 0
        ${NSD_CreateLabel} 22u 66u -22u 20u "Installing for all users needs administrator rights, which this account does not have."
        Pop $0
    ${EndIf}
    ${If} $Mode == "AllUsers"
        ${NSD_Check} $AllUsersRadio
    ${Else}
        ${NSD_Check} $1
    ${EndIf}
    nsDialogs::Show
FunctionEnd

Function ScopePageLeave
    ${NSD_GetState} $AllUsersRadio $0
    ${If} $0 = ${BST_CHECKED}
        StrCpy $Mode "AllUsers"
    ${Else}
        StrCpy $Mode "CurrentUser"
    ${EndIf}
    Call UseMode
    Call DefaultFolder
FunctionEnd

; Installs one architecture's module, standard file and registration helper, and the stand-in host
; library when DecideHostLibrary said so.
!macro INSTALL_ARCH ARCH FILES
    SetOutPath "$INSTDIR\${ARCH}"
    File "${FILES}\KVStVB7Default.dll"
    File "${FILES}\kvstreg.exe"
    !if "${ARCH}" == "x64"
        File "${FILES}\kvstcheck.exe"
    !endif

    ; The standard file: a copy that the user edited since it was installed stays as it is.
    ReadRegStr $5 SHCTX "${UNINSTALL_KEY}" "StandardDigest_${ARCH}"
    ${If} ${FileExists} "$INSTDIR\${ARCH}\${STANDARD_NAME}"
        Push "$INSTDIR\${ARCH}\${STANDARD_NAME}"
        Call FileDigest
        Pop $6
    ${Else}
        StrCpy $6 "missing"
    ${EndIf}
    ${If} $6 == "missing"
    ${OrIf} $6 == $5
        File "/oname=${STANDARD_NAME}" "${STANDARD}"
        Push "$INSTDIR\${ARCH}\${STANDARD_NAME}"
        Call FileDigest
        Pop $5
    ${Else}
        Push "Kept the edited standard file $INSTDIR\${ARCH}\${STANDARD_NAME}"
        Call Log
    ${EndIf}
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "StandardDigest_${ARCH}" "$5"

    ; The host library, as decided for both architectures (DecideHostLibrary).
    ${If} $InstallHost = 1
        File "${FILES}\KVStMgr.dll"
        WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "HostLibrary_${ARCH}" 1
        !insertmacro KVSTREG register "$INSTDIR\${ARCH}" "KVStMgr.dll"
        ${If} $0 != 0
            Push "Registering $INSTDIR\${ARCH}\KVStMgr.dll failed (kvstreg exit code $0)"
            Call Log
            SetErrorLevel 3
            Abort "Registering the host library failed."
        ${EndIf}
    ${Else}
        WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "HostLibrary_${ARCH}" 0
    ${EndIf}

    !insertmacro KVSTREG register "$INSTDIR\${ARCH}" "KVStVB7Default.dll"
    ${If} $0 != 0
        Push "Registering $INSTDIR\${ARCH}\KVStVB7Default.dll failed (kvstreg exit code $0)"
        Call Log
        SetErrorLevel 3
        Abort "Registering the plug-in failed."
    ${EndIf}
    Push "Registered $INSTDIR\${ARCH}\KVStVB7Default.dll ($Mode)"
    Call Log
!macroend

; A host is told nothing when a standard file does not load (every audit then passes): after each
; install or upgrade (which keeps an edited file) kvstcheck lints the standard file beside each
; registered plug-in. What it says goes to the log; shown too, unless silent, when it finds anything.
Function CheckInstalledStandards
    nsExec::ExecToStack '"$INSTDIR\kvstcheck.exe" lint --installed'
    Pop $0
    Pop $1
    Push "kvstcheck lint --installed (exit code $0):$\r$\n$1"
    Call Log
    ${If} $0 != 0
        MessageBox MB_OK|MB_ICONEXCLAMATION "The installed standard files need a look; until they are fixed, audits against them may pass drawings they should not:$\r$\n$\r$\n$1" /SD IDOK
    ${EndIf}
FunctionEnd

Section "Plug-in"
    SetOutPath "$INSTDIR"
    File "${STAGE}\kvstcheck.exe"
    File "/oname=README-Windows.txt" "${README}"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    ; The entry in the system's list of installed programs comes first: should a registration
    ; fail, what this run did is listed and its uninstaller removes it.
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallMode" "$Mode"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} standards-check plug-in"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe" /$Mode'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /$Mode /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1

    Call DecideHostLibrary
    !insertmacro INSTALL_ARCH x86 "${STAGE32}"
!ifdef STAGE64
    ${If} ${RunningX64}
        !insertmacro INSTALL_ARCH x64 "${STAGE64}"
    ${EndIf}
!endif

    Call CheckInstalledStandards

    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; ---------------------------------------------------------------------------------------------
; Uninstaller: removes what the setup program recorded, in the scope it was installed in.

Function un.onInit
    StrCpy $LogFile "$TEMP\${PRODUCT}-uninstall.log"
    Delete "$LogFile"
    Call un.ChooseMode
    ; The folder is the one recorded at install, wherever this copy of the uninstaller runs from;
    ; with no record there is nothing (left) to remove.
    ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == ""
        Push "${PRODUCT} is not installed ($Mode); nothing to remove"
        Call un.Log
        MessageBox MB_OK|MB_ICONINFORMATION "${PRODUCT} is not installed ($Mode); there is nothing to remove." /SD IDOK
        Quit
    ${EndIf}
    StrCpy $INSTDIR "$0"
FunctionEnd

!macro UNINSTALL_ARCH ARCH
    ${If} ${FileExists} "$INSTDIR\${ARCH}\KVStVB7Default.dll"
        !insertmacro KVSTREG unregister "$INSTDIR\${ARCH}" "KVStVB7Default.dll"
        ${If} $0 != 0
            Push "Unregistering $INSTDIR\${ARCH}\KVStVB7Default.dll reported exit code $0"
            Call un.Log
        ${EndIf}
    ${EndIf}
    ReadRegDWORD $5 SHCTX "${UNINSTALL_KEY}" "HostLibrary_${ARCH}"
    ${If} $5 = 1
    ${AndIf} ${FileExists} "$INSTDIR\${ARCH}\KVStMgr.dll"
        !insertmacro KVSTREG unregister "$INSTDIR\${ARCH}" "KVStMgr.dll"
        Delete "$INSTDIR\${ARCH}\KVStMgr.dll"
    ${EndIf}
    Delete "$INSTDIR\${ARCH}\KVStVB7Default.dll"
    Delete "$INSTDIR\${ARCH}\kvstreg.exe"
    Delete "$INSTDIR\${ARCH}\kvstcheck.exe"

    ; The standard file goes only if it is still the one installed.
    ${If} ${FileExists} "$INSTDIR\${ARCH}\${STANDARD_NAME}"
        ReadRegStr $5 SHCTX "${UNINSTALL_KEY}" "StandardDigest_${ARCH}"
        Push "$INSTDIR\${ARCH}\${STANDARD_NAME}"
        Call un.FileDigest
        Pop $6
        ${If} $5 != ""
        ${AndIf} $6 == $5
            Delete "$INSTDIR\${ARCH}\${STANDARD_NAME}"
        ${Else}
            Push "Left the edited standard file $INSTDIR\${ARCH}\${STANDARD_NAME} in place"
            Call un.Log
            MessageBox MB_OK|MB_ICONINFORMATION "The standard file $INSTDIR\${ARCH}\${STANDARD_NAME} was edited after it was installed; it stays where it is." /SD IDOK
        ${EndIf}
    ${EndIf}
    RMDir "$INSTDIR\${ARCH}"
!macroend

Section "Uninstall"
    ; In the reverse order of the install: the module registered last goes first.
    !insertmacro UNINSTALL_ARCH x64
    !insertmacro UNINSTALL_ARCH x86
    Delete "$INSTDIR\kvstcheck.exe"
    Delete "$INSTDIR\README-Windows.txt"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    Push "Removed ${PRODUCT} ($Mode)"
    Call un.Log
SectionEnd
