; Velmora Deluxe server, as an NSIS installer whose database step is Talvorin.exe.
; Built with makensis (Debian's package nsis):
;
;   makensis -DTALVORIN=Talvorin.exe -DOSQL=osql.exe -DBCP=bcp.exe \
;            -DOUTFILE=VelmoraServerSetup.exe VelmoraServer.nsi
;
; The step runs after the files are in place and before the release key is written: Talvorin
; reads the key an older release left. Its exit code is always 0, so the installer reads the
; outcome from system.log, and writes the key only after a run that succeeded.

Unicode true
Name "Velmora Deluxe Server"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES\Velmora Deluxe"
ShowInstDetails show
AutoCloseWindow true
Page instfiles

!define RELEASE_KEY "SOFTWARE\QUORVANTA\ORVO3"
!define RELEASE "3.1"
!define KIT "$WINDIR\MigKit4"

!include "TalvorinOutcome.nsh"

Section "Server"
  ; The 32-bit view, where Talvorin (a 32-bit program) looks.
  SetRegView 32
  ; An older release's key makes this run an upgrade (install type 2).
  StrCpy $R0 1
  ClearErrors
  ReadRegStr $0 HKLM "${RELEASE_KEY}" "Version"
  IfErrors +2
    StrCpy $R0 2

  SetOutPath "${KIT}"
  File "/oname=Talvorin.exe" "${TALVORIN}"
  File "/oname=osql.exe" "${OSQL}"
  File "/oname=bcp.exe" "${BCP}"
  SetOutPath "$INSTDIR\Server\Scripts"
  File "files\Server\Scripts\*.sql"
  CreateDirectory "$INSTDIR\Server\BIN"
  SetOutPath "$INSTDIR\Support"
  File "files\Support\Setup.ini"

  ; Nobody is there to answer Talvorin's dialog or its boxes in a silent install: they would
  ; wait for ever. The child inherits this process's environment.
  IfSilent 0 +2
    System::Call 'kernel32::SetEnvironmentVariable(t "TALVORIN_UNATTENDED", t "1")'

  ; The log is only ever appended to: this run's lines begin at its present size.
  StrCpy $R1 0
  ClearErrors
  FileOpen $1 "${KIT}\system.log" r
  IfErrors +3
    FileSeek $1 0 END $R1
    FileClose $1

  DetailPrint "Creating the databases (Talvorin.exe)"
  ; Quoted folders may end in a backslash: Talvorin takes "...\Server\" as one parameter.
  ExecWait '"${KIT}\Talvorin.exe" 306 "$INSTDIR\Server\" $R0 "$INSTDIR\Support\" Setup.ini'
  Push "${KIT}\system.log"
  Push $R1
  Call TalvorinOutcome
  Pop $0
  StrCmp $0 "" written
    DetailPrint "The database step failed: $0"
    MessageBox MB_ICONSTOP|MB_OK "The database step failed: $0$\r$\nSee ${KIT}\system.log." /SD IDOK
    SetErrorLevel 2
    Abort "The database step failed: $0"
  written:

  WriteRegStr HKLM "${RELEASE_KEY}" "ServerPath" "$INSTDIR\Server\"
  WriteRegStr HKLM "${RELEASE_KEY}" "Version" "${RELEASE}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
SectionEnd

Section "Uninstall"
  SetRegView 32
  DeleteRegKey HKLM "${RELEASE_KEY}"
  Delete "${KIT}\Talvorin.exe"
  Delete "${KIT}\osql.exe"
  Delete "${KIT}\bcp.exe"
  ; system.log and the kit data file (Orvo4.dat, written by Talvorin's dialog) stay.
  RMDir "${KIT}"
  RMDir /r "$INSTDIR\Server"
  RMDir /r "$INSTDIR\Support"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
