; The outcome of the last run of Talvorin.exe, read from its setup log (system.log):
;
;   Push "$WINDIR\MigKit4\system.log"
;   Push $R1          ; where to start reading: the log's size before the run, or 0
;   Call TalvorinOutcome
;   Pop $0            ; "" when the run succeeded, else the reason
;
; The last run runs from the last start banner. It succeeded only if its closing line
; "Process completed successfully, application will be closed" stands and none of the
; failure lines does. A message is matched from its start, after the computer name and the
; time stamp, and Talvorin writes every message as one line, so text quoted inside a
; message (a server's error, a script's name) cannot pass for one.

!define /ifndef TALVORIN_SUCCESS "Process completed successfully, application will be closed"

; Sets the first failure ($5) to the message ($3) when the message starts with the text.
!macro TalvorinFailsWith TEXT
  StrLen $9 "${TEXT}"
  StrCpy $9 $3 $9
  StrCmp $9 "${TEXT}" 0 +3
    StrCpy $5 $3
    Goto next
!macroend

Function TalvorinOutcome
  ; $0 start offset, then the result; $1 file, $2 line, $3 message, $4 closing line seen,
  ; $5 first failure, $6 a run seen, $7 last message, $8 the piece read continues a line,
  ; $9 scratch. The caller's registers are kept.
  Exch $0
  Exch
  Exch $1
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  Push $7
  Push $8
  Push $9
  StrCpy $2 $1
  StrCpy $6 0
  StrCpy $8 0
  ClearErrors
  FileOpen $1 $2 r
  IfErrors summary
  FileSeek $1 $0 SET
next:
  ClearErrors
  FileRead $1 $2
  IfErrors close
  ; FileRead gives a line longer than NSIS's strings in pieces: only a line's first counts.
  StrCpy $9 $8
  StrCpy $8 1
  StrCpy $3 $2 1 -1
  StrCmp $3 "$\n" 0 +2
    StrCpy $8 0
  StrCmp $9 1 next
  StrCpy $9 $2 2 -2
  StrCmp $9 "$\r$\n" 0 +2
    StrCpy $2 $2 -2
  StrCmp $2 "Start database / table creation program" 0 +6
    StrCpy $6 1
    StrCpy $4 0
    StrCpy $5 ""
    StrCpy $7 ""
    Goto next
  StrCmp $2 "End database / table createion program" next
  ; The message follows the computer name (no blanks), a blank and "yyyy-mm-dd hh:mm:ss ".
  StrCpy $9 0
  blank:
    StrCpy $3 $2 1 $9
    StrCmp $3 "" next
    StrCmp $3 " " +3
    IntOp $9 $9 + 1
    Goto blank
  IntOp $9 $9 + 21
  StrCpy $3 $2 "" $9
  StrCpy $7 $3
  StrCmp $3 "${TALVORIN_SUCCESS}" 0 +3
    StrCpy $4 1
    Goto next
  StrCmp $5 "" 0 next
  !insertmacro TalvorinFailsWith "SQL Server connection error. Application will be closed"
  !insertmacro TalvorinFailsWith "First install (1). Error creating databases and tables"
  !insertmacro TalvorinFailsWith "Upgrade from 1.6. Database creation error"
  !insertmacro TalvorinFailsWith "Fail to modify table structures."
  !insertmacro TalvorinFailsWith "Error occurs during loading code tables. Please refer to the above log for details"
  !insertmacro TalvorinFailsWith "Upgrade from 1.6. Error loading code tables"
  !insertmacro TalvorinFailsWith "Error occurs during upgrade/repair code tables. Please refer to the above log for details"
  !insertmacro TalvorinFailsWith "Error creating database.[sqlcmd failed] "
  !insertmacro TalvorinFailsWith "Error loading code table "
  !insertmacro TalvorinFailsWith "Error modify table structure.[sqlcmd failed] "
  Goto next
close:
  FileClose $1
summary:
  StrCpy $0 ""
  StrCmp $6 1 +3
    StrCpy $0 "no run of Talvorin.exe in the log"
    Goto done
  StrCmp $5 "" +3
    StrCpy $0 $5
    Goto done
  StrCmp $4 1 done
    StrCpy $0 "the run ended before its closing line, after: $7"
done:
  Pop $9
  Pop $8
  Pop $7
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd
