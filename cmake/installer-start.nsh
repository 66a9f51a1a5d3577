; Starting the scheduler at the end of the install with the rights of the
; logged-on user, not the installer's. The installer runs elevated; a copy it
; started itself would run elevated until the next logon, and so would the
; capture application and the browser that the copy starts. The desktop's
; shell runs with the user's own rights, so an elevated installer asks it to
; start the program (Explorer's IShellDispatch2::ShellExecute, reached through
; the desktop's shell view); an installer that is not elevated (XP, or UAC
; off) starts it itself. When neither is possible the program is not started:
; the finish page says that it starts at the next logon (the Run value).

!include LogicLib.nsh

Var KorvFinishText
!define MUI_FINISHPAGE_TEXT "$KorvFinishText"

!define KORV_CLSID_ShellWindows {9BA05972-F6A8-11CF-A442-00A0C90A8F39}
!define KORV_IID_IShellWindows {85CB6900-4D95-11CF-960C-0080C7F4EE85}
!define KORV_IID_IServiceProvider {6D5140C1-7436-11CE-8034-00AA006009FA}
!define KORV_SID_STopLevelBrowser {4C96BE40-915C-11CF-99D3-00AA004AE837}
!define KORV_IID_IShellBrowser {000214E2-0000-0000-C000-000000000046}
!define KORV_IID_IDispatch {00020400-0000-0000-C000-000000000046}
!define KORV_IID_IShellFolderViewDual {E7A1AF80-4D96-11CF-960C-0080C7F4EE85}
!define KORV_IID_IShellDispatch2 {A4C6892C-3BA9-11D2-9DEA-00C04FB16162}

; $0 := 1 when this process's token is elevated, else 0. XP knows no
; elevation and refuses the question: 0.
Function KorvInstallerElevated
  StrCpy $0 0
  System::Call 'kernel32::GetCurrentProcess() p .r1'
  System::Call 'advapi32::OpenProcessToken(p r1, i 8, *p 0 r1) i .r2'
  ${If} $2 <> 0
    ; TokenElevation (20): one DWORD, non-zero when elevated.
    System::Call 'advapi32::GetTokenInformation(p r1, i 20, *i 0 r3, i 4, *i 0) i .r2'
    System::Call 'kernel32::CloseHandle(p r1)'
    ${If} $2 <> 0
    ${AndIf} $3 <> 0
      StrCpy $0 1
    ${EndIf}
  ${EndIf}
FunctionEnd

; One step of the way to the shell: the call must return S_OK (S_FALSE, the
; desktop not found, counts as failure) and give the interface asked for.
!macro KorvShellStep CALL RESULT
  System::Call '${CALL} i .r1'
  IntCmp $1 0 0 korv_shell_done korv_shell_done
  StrCmp ${RESULT} 0 korv_shell_done
!macroend

!macro KorvRelease POINTER
  StrCmp ${POINTER} 0 +2
    System::Call '${POINTER}->2()'
!macroend

; Asks the desktop's shell to start $INSTDIR\KorvSchd.exe; $0 := 1 when the
; shell took the request, else 0. The shell's ShellWindows object (a local
; server, so that it is the shell's and never one of this process), the
; desktop's window among them, its browser, the browser's active view, the
; view's automation object, whose Application is the shell's own
; IShellDispatch2.
Function KorvStartThroughShell
  StrCpy $0 0
  StrCpy $R0 0
  StrCpy $R1 0
  StrCpy $R2 0
  StrCpy $R3 0
  StrCpy $R4 0
  StrCpy $R5 0
  StrCpy $R6 0
  StrCpy $R7 0
  StrCpy $R8 0
  ; A VARIANT: its type, three reserved words, a pointer-sized value and a
  ; pointer's worth of room (16 bytes for x86, 24 for x64).
  ; VT_I4 0: CSIDL_DESKTOP, the location FindWindowSW is given for the desktop.
  System::Call '*(&i2 3, &i2 0, &i2 0, &i2 0, p 0, p 0) p .r3'
  ; VT_EMPTY.
  System::Call '*(&i2 0, &i2 0, &i2 0, &i2 0, p 0, p 0) p .r4'
  ; CLSCTX_LOCAL_SERVER (4); SWC_DESKTOP (8), SWFO_NEEDDISPATCH (1);
  ; SVGIO_BACKGROUND (0). The numbers after -> are the methods' places in
  ; their interfaces' tables.
  !insertmacro KorvShellStep 'ole32::CoCreateInstance(g "${KORV_CLSID_ShellWindows}", p 0, i 4, g "${KORV_IID_IShellWindows}", *p 0 R0)' $R0
  !insertmacro KorvShellStep '$R0->15(p r3, p r4, i 8, *i 0, i 1, *p 0 R1)' $R1
  !insertmacro KorvShellStep '$R1->0(g "${KORV_IID_IServiceProvider}", *p 0 R2)' $R2
  !insertmacro KorvShellStep '$R2->3(g "${KORV_SID_STopLevelBrowser}", g "${KORV_IID_IShellBrowser}", *p 0 R3)' $R3
  !insertmacro KorvShellStep '$R3->15(*p 0 R4)' $R4
  !insertmacro KorvShellStep '$R4->15(i 0, g "${KORV_IID_IDispatch}", *p 0 R5)' $R5
  !insertmacro KorvShellStep '$R5->0(g "${KORV_IID_IShellFolderViewDual}", *p 0 R6)' $R6
  !insertmacro KorvShellStep '$R6->7(*p 0 R7)' $R7
  !insertmacro KorvShellStep '$R7->0(g "${KORV_IID_IShellDispatch2}", *p 0 R8)' $R8

  ; ShellExecute(file, arguments, folder, verb, show): the program, no
  ; arguments, its folder, "open", SW_SHOWNORMAL (1).
  System::Call 'oleaut32::SysAllocString(w "$INSTDIR\KorvSchd.exe") p .r5'
  System::Call 'oleaut32::SysAllocString(w "$INSTDIR") p .r6'
  System::Call 'oleaut32::SysAllocString(w "open") p .r7'
  !if ${NSIS_PTR_SIZE} > 4
    ; x64 passes a VARIANT argument as a pointer to the caller's copy.
    System::Call '*(&i2 8, &i2 0, &i2 0, &i2 0, p r6, p 0) p .r8'
    System::Call '*(&i2 8, &i2 0, &i2 0, &i2 0, p r7, p 0) p .r9'
    System::Call '*(&i2 3, &i2 0, &i2 0, &i2 0, p 1, p 0) p .r2'
    System::Call '$R8->31(p r5, p r4, p r8, p r9, p r2) i .r1'
    System::Free $8
    System::Free $9
    System::Free $2
  !else
    ; x86 passes a VARIANT argument by value: four DWORDs each, VT_EMPTY,
    ; VT_BSTR (8) twice, VT_I4 (3).
    System::Call '$R8->31(p r5, i 0, i 0, i 0, i 0, i 8, i 0, p r6, i 0, i 8, i 0, p r7, i 0, i 3, i 0, i 1, i 0) i .r1'
  !endif
  IntCmp $1 0 0 +2 +2
    StrCpy $0 1
  System::Call 'oleaut32::SysFreeString(p r5)'
  System::Call 'oleaut32::SysFreeString(p r6)'
  System::Call 'oleaut32::SysFreeString(p r7)'

  korv_shell_done:
  !insertmacro KorvRelease $R8
  !insertmacro KorvRelease $R7
  !insertmacro KorvRelease $R6
  !insertmacro KorvRelease $R5
  !insertmacro KorvRelease $R4
  !insertmacro KorvRelease $R3
  !insertmacro KorvRelease $R2
  !insertmacro KorvRelease $R1
  !insertmacro KorvRelease $R0
  System::Free $3
  System::Free $4
FunctionEnd

; Starts the scheduler as the logged-on user and words the finish page after
; what happened.
Function KorvStartScheduler
  Call KorvInstallerElevated
  ${If} $0 = 1
    Call KorvStartThroughShell
    StrCpy $1 "by the desktop's shell"
  ${Else}
    ClearErrors
    Exec '"$INSTDIR\KorvSchd.exe"'
    StrCpy $0 1
    ${If} ${Errors}
      StrCpy $0 0
    ${EndIf}
    StrCpy $1 "by the installer"
  ${EndIf}
  ${If} $0 = 1
    DetailPrint "Scheduler started $1."
    StrCpy $KorvFinishText "$(^NameDA) has been installed on your computer and runs now.\r\n\r\nClick Finish to close this wizard."
  ${Else}
    DetailPrint "Scheduler not started: it starts at the next logon."
    StrCpy $KorvFinishText "$(^NameDA) has been installed on your computer. It starts at your next logon.\r\n\r\nClick Finish to close this wizard."
  ${EndIf}
FunctionEnd
