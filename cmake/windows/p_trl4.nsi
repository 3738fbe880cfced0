; The Windows installer of the front panel (NSIS). scripts/package-windows runs
;   makensis -DVERSION=x.y.z -DBIN=<build>/bin -DSOURCE=<repository> -DOUTFILE=<setup.exe>
; It installs the program with its resource and pictures, the math library into a folder of
; its own that it adds to the machine-wide Path, and, as the optional "simulated bench", the
; VISA and driver stand-ins with the bench library. The uninstaller removes exactly that.
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "LogicLib.nsh"
!include "Sections.nsh"
!include "WinMessages.nsh"
!include "WordFunc.nsh"

!define PRODUCT "p_trl4"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; Where the start-up search (and Windows) reads the machine's Path.
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
!define MATH_FOLDER "$INSTDIR\math"

Name "ТРЛ4 ${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

; For every user of the machine: the Start-menu entry goes to the common Start menu.
Function .onInit
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetShellVarContext all
FunctionEnd

Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Adds (sign +) or removes (sign -) a folder in the machine's Path, leaving every other entry
; as it is. A Path too long for the installer's strings is left untouched, never cut short.
!macro EditMachinePath SIGN FOLDER
    ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
    StrLen $1 $0
    StrLen $2 "${FOLDER}"
    IntOp $1 $1 + $2
    ${If} $1 >= ${NSIS_MAX_STRLEN}
        DetailPrint "The machine's Path is too long to edit here: add or remove ${FOLDER} by hand."
        MessageBox MB_OK|MB_ICONEXCLAMATION "The machine's Path is too long to edit here: add or remove ${FOLDER} by hand." /SD IDOK
    ${Else}
        ${WordAdd} "$0" ";" "${SIGN}${FOLDER}" $0
        WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$0"
        ; Running programs (Explorer) read the new value.
        SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
    ${EndIf}
!macroend

Section "!Front panel" SecProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    File "${BIN}\p_trl4.exe"
    File "${BIN}\p_trl4.uir"
    File "${BIN}\crcstamp.exe"
    SetOutPath "$INSTDIR\resources"
    File "${SOURCE}\app\resources\picture_2.png"
    File "${SOURCE}\app\resources\vxi_logo.png"
    SetOutPath "${MATH_FOLDER}"
    File "${BIN}\ksptrl4_math.dll"
    !insertmacro EditMachinePath "+" "${MATH_FOLDER}"

    SetOutPath "$INSTDIR"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\p_trl4.exe"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "ТРЛ4 ${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The stand-ins answer for a bench that is not there. On a real bench leave this out: the real
; VISA library and drivers are then found in the system's folders and the Path.
Section "Simulated bench" SecBench
    SetOutPath "$INSTDIR"
    File "${BIN}\visa32.dll"
    File "${BIN}\kspbase.dll"
    File "${BIN}\ksptrl4_32.dll"
    File "${BIN}\trl4sim.dll"
SectionEnd

Section "Uninstall"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$INSTDIR\visa32.dll"
    Delete "$INSTDIR\kspbase.dll"
    Delete "$INSTDIR\ksptrl4_32.dll"
    Delete "$INSTDIR\trl4sim.dll"
    Delete "${MATH_FOLDER}\ksptrl4_math.dll"
    RMDir "${MATH_FOLDER}"
    !insertmacro EditMachinePath "-" "${MATH_FOLDER}"
    Delete "$INSTDIR\resources\picture_2.png"
    Delete "$INSTDIR\resources\vxi_logo.png"
    RMDir "$INSTDIR\resources"
    Delete "$INSTDIR\p_trl4.exe"
    Delete "$INSTDIR\p_trl4.uir"
    Delete "$INSTDIR\crcstamp.exe"
    Delete "$INSTDIR\uninstall.exe"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ; Only if empty: what an operator put there stays.
    RMDir "$INSTDIR"
SectionEnd
