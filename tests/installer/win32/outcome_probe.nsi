; Applies TalvorinOutcome to every *.log in the folder named by OUTCOME_DIR, from its start,
; and writes each result beside it as <name>.result (empty: the run succeeded).
Unicode true
OutFile "${OUTFILE}"
SilentInstall silent
RequestExecutionLevel user
!include "TalvorinOutcome.nsh"

Section
  ReadEnvStr $R0 OUTCOME_DIR
  FindFirst $R1 $R2 "$R0\*.log"
  loop:
    StrCmp $R2 "" done
    Push "$R0\$R2"
    Push 0
    Call TalvorinOutcome
    Pop $0
    FileOpen $2 "$R0\$R2.result" w
    FileWrite $2 $0
    FileClose $2
    FindNext $R1 $R2
    Goto loop
  done:
  FindClose $R1
SectionEnd
