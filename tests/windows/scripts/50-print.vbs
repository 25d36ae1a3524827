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

' Printing invoice 5: report tables only (Generate_Only), a report file
' that is not there (a clear InfoMsg), then the shipped report. Where the
' platform cannot print, PrintInvoice must still answer and say why.
' Linux counterpart: 50-print.jsonl.
Dim c, inv, v, message
Set c = CreateObject("Vessa.HostConnection")
c.Open Setting("TARVIK_DB", 0)
Clean "open the database"
Set inv = CreateObject("TarvikInvoice.Invoice")
Set inv.Connect = c
Clean "create and connect an Invoice"

inv.ShowMessageBox = False
inv.InvoiceNo = "5"
inv.Generate_Only = True
v = Empty: v = inv.PrintInvoice: ExpectTrue "PrintInvoice with Generate_Only fills the report tables", v
v = Empty: v = inv.InfoMsg: ExpectEq "no message", v, ""

inv.Generate_Only = False
inv.ReportPath = Setting("TARVIK_MISSING_DIR", 1)
inv.InvoiceReport = "invoice.layout"
v = Empty: v = inv.PrintInvoice: ExpectFalse "PrintInvoice without its report file", v
message = inv.InfoMsg
Check "the missing report file is named in InfoMsg", InStr(message, "invoice.layout") > 0, "InfoMsg '" & message & "'"

inv.ReportPath = Setting("TARVIK_REPORT_DIR", 2)
inv.InfoMsg = ""
v = Empty: v = inv.PrintInvoice
If Clean("PrintInvoice with the shipped report") Then
  If VarType(v) <> vbBoolean Then
    Fail "PrintInvoice answers a Boolean", "got " & Shown(v)
  ElseIf v Then
    passed = passed + 1
  Else
    ' Printing may be out of reach here; then the reason must be given.
    message = inv.InfoMsg
    Check "a print that failed says why", Len(message) > 0, "False with an empty InfoMsg"
    WScript.Echo "note: PrintInvoice answered False: " & message
  End If
End If

Set inv = Nothing
Set c = Nothing
Finish
