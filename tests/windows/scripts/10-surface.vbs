' answers: []
' --- checks (cscript has no include for .vbs files, so every script carries its own) ---
Option Explicit
On Error Resume Next
Dim passed, failed, env, fso
passed = 0
failed = 0
Set env = CreateObject("WScript.Shell").Environment("PROCESS")
Set fso = CreateObject("Scripting.FileSystemObject")

' A setting: the script argument at Index when given, else the environment.
Function Setting(Name, Index)
  If WScript.Arguments.Count > Index Then
    Setting = WScript.Arguments(Index)
  Else
    Setting = env(Name)
  End If
End Function

Sub Fail(What, Detail)
  failed = failed + 1
  WScript.Echo "FAIL " & What & ": " & Detail
End Sub

' A value as the failure message shows it: its type and text.
Function Shown(Value)
  If IsObject(Value) Then
    Shown = "object"
  ElseIf IsNull(Value) Then
    Shown = "Null"
  Else
    Shown = TypeName(Value) & " '" & CStr(Value) & "'"
  End If
End Function

' True when the step before left no error; otherwise reports it and clears it.
' Steps read their value into v first (v = Empty: v = obj.Member), so that an
' error is reported under the name of the step that raised it.
Function Clean(What)
  Clean = (Err.Number = 0)
  If Not Clean Then
    Fail What, "error " & Err.Number & " (&H" & Hex(Err.Number) & "): " & Err.Description
    Err.Clear
  End If
End Function

' Strings must match strings, numbers numbers and Booleans Booleans.
Function Kind(Value)
  Select Case VarType(Value)
    Case vbString: Kind = "text"
    Case vbBoolean: Kind = "Boolean"
    Case vbInteger, vbLong, vbByte, vbSingle, vbDouble, vbCurrency: Kind = "number"
    Case Else: Kind = TypeName(Value)
  End Select
End Function

Sub ExpectEq(What, Actual, Expected)
  If Clean(What) Then
    If Kind(Actual) = Kind(Expected) Then
      If Actual = Expected Then
        passed = passed + 1
        Exit Sub
      End If
    End If
    Fail What, "expected " & Shown(Expected) & ", got " & Shown(Actual)
  End If
End Sub

' An automation Boolean: VT_BOOL holding -1 (True) or 0 (False), never 1.
Sub ExpectBool(What, Actual, Expected)
  If Clean(What) Then
    If VarType(Actual) = vbBoolean Then
      If CLng(Actual) = CLng(Expected) Then
        passed = passed + 1
        Exit Sub
      End If
    End If
    Fail What, "expected Boolean " & CLng(Expected) & ", got " & Shown(Actual)
  End If
End Sub

Sub ExpectTrue(What, Actual)
  ExpectBool What, Actual, True
End Sub

Sub ExpectFalse(What, Actual)
  ExpectBool What, Actual, False
End Sub

' The step before raised error Number with a description; clears it.
Sub ExpectErr(What, Number)
  If Err.Number = Number And Len(Err.Description) > 0 Then
    passed = passed + 1
  ElseIf Err.Number = 0 Then
    Fail What, "expected error " & Number & ", no error was raised"
  Else
    Fail What, "expected error " & Number & " with a description, got " & Err.Number & ": '" & Err.Description & "'"
  End If
  Err.Clear
End Sub

Sub Check(What, Condition, Detail)
  If Clean(What) Then
    If Condition Then
      passed = passed + 1
    Else
      Fail What, Detail
    End If
  End If
End Sub

' The last line, which the runner reads: cscript under Wine exits 0 whatever happens.
Sub Finish()
  Clean "the last step"
  WScript.Echo passed & " passed, " & failed & " failed"
  WScript.Quit failed
End Sub
' --- end of checks ---

' Creating the objects and the connection, and what a script sees when it
' gets something wrong: every refusal arrives in Err with its number.
' Linux counterpart: 10-surface.jsonl.
Dim dbPath, missingPath, c, missing, inv, bo, nothing_, v, errNumber, errText
dbPath = Setting("TARVIK_DB", 0)
missingPath = Setting("TARVIK_MISSING_DB", 1)
Check "database paths given", Len(dbPath) > 0 And Len(missingPath) > 0, "pass DB and MISSING_DB as arguments or set TARVIK_DB, TARVIK_MISSING_DB"

' A connection to a file that is not there: a clear error, nothing created.
Set missing = CreateObject("Vessa.HostConnection")
Check "create Vessa.HostConnection", IsObject(missing), "no object"
missing.Open missingPath
errNumber = Err.Number: errText = Err.Description: Err.Clear
Check "Open of a missing file fails with error 3024 (could not find file)", errNumber = 3024 And Len(errText) > 0, "Err " & errNumber & ": '" & errText & "'"
Check "the description names the file", InStr(errText, fso.GetFileName(missingPath)) > 0, "'" & errText & "'"
Check "Open of a missing file creates no file", Not fso.FileExists(missingPath), missingPath & " exists"
Check "Open of a missing file creates no folder", Not fso.FolderExists(fso.GetParentFolderName(missingPath)), "folder of " & missingPath & " exists"
Set missing = Nothing

Set c = CreateObject("Vessa.HostConnection")
Clean "create Vessa.HostConnection"
c.Open dbPath
Clean "Open " & dbPath
Set inv = CreateObject("TarvikInvoice.Invoice")
Clean "create TarvikInvoice.Invoice"
ExpectEq "TypeName of an Invoice", TypeName(inv), "Invoice"
Set bo = CreateObject("TarvikInvoice.BackOrder")
Clean "create TarvikInvoice.BackOrder"
ExpectEq "TypeName of a BackOrder", TypeName(bo), "BackOrder"
Set nothing_ = CreateObject("TarvikInvoice.NoSuchClass")
ExpectErr "CreateObject of an unregistered program id", 429
Set inv.Connect = c
Clean "Set Invoice.Connect"
Set bo.Connect = c
Clean "Set BackOrder.Connect"

' Initial values, and Booleans as -1 / 0.
v = Empty: v = inv.ShowMessageBox: ExpectTrue "ShowMessageBox starts True", v
v = Empty: v = inv.PrintOnly: ExpectFalse "PrintOnly starts False", v
v = Empty: v = inv.TransactionMode: ExpectEq "TransactionMode starts tmCancel", v, 0
v = Empty: v = inv.InvoiceNo: ExpectEq "InvoiceNo starts empty", v, ""
v = Empty: v = bo.QueryName: ExpectEq "QueryName starts v_BO_Detail", v, "v_BO_Detail"
v = Empty: v = inv.Get_Next_Invoice_No: ExpectEq "first free invoice number", v, "1"

' Refusals of the dispatch layer.
v = inv.NoSuchMember
ExpectErr "unknown property", 438
bo.NoSuchMethod
ExpectErr "unknown method", 438
inv.TransactionMode = "abc"
ExpectErr "TransactionMode = ""abc""", 13
inv.PrintOnly = "maybe"
ExpectErr "PrintOnly = ""maybe""", 13
inv.LineStatus = 300
ExpectErr "LineStatus (a Byte) = 300", 6
inv.LineStatus = 200
v = Empty: v = inv.LineStatus: ExpectEq "LineStatus keeps 200", v, 200
ExpectEq "LineStatus is a Byte", TypeName(v), "Byte"
inv.PrintOnly = True
v = Empty: v = inv.PrintOnly: ExpectTrue "PrintOnly reads back True", v

' An error of the component itself: its own number and description.
inv.InvoiceNo = "1042"
inv.Filter = ""
v = Empty
v = inv.DeleteByFilter
errNumber = Err.Number: errText = Err.Description: Err.Clear
Check "DeleteByFilter with an empty Filter is refused with the component's error", errNumber = 5 And InStr(errText, "DeleteByFilter") > 0, "Err " & errNumber & ": '" & errText & "'"
Check "the refused call answers nothing", IsEmpty(v), "got " & Shown(v)

' No invoices yet.
inv.Filter = ""
v = Empty: v = inv.OpenRecordset: ExpectFalse "OpenRecordset on no invoices", v
v = Empty: v = inv.RecordCount: ExpectEq "RecordCount of no invoices", v, 0
v = Empty: v = inv.InvoiceNo: ExpectEq "InvoiceNo emptied", v, ""
v = Empty: v = inv.MoveFirst: ExpectFalse "MoveFirst on no invoices", v

Set bo = Nothing
Set inv = Nothing
Set c = Nothing
Finish
