; Applies TalvorinOutcome to the log named by OUTCOME_LOG, from its start, and writes the
; result to the file named by OUTCOME_RESULT (empty: the run succeeded).
Unicode true
OutFile "${OUTFILE}"
SilentInstall silent
RequestExecutionLevel user
!include "TalvorinOutcome.nsh"

Section
  ReadEnvStr $0 OUTCOME_LOG
  ReadEnvStr $1 OUTCOME_RESULT
  Push $0
  Push 0
  Call TalvorinOutcome
  Pop $0
  FileOpen $2 $1 w
  FileWrite $2 $0
  FileClose $2
SectionEnd
