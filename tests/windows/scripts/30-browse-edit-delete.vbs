' answers: [6,7]
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

' Browsing the invoices of 20-invoicing, editing a header, deleting one
' invoice (confirmed) and refusing to delete another (declined).
' Linux counterpart: 30-browse-edit-delete.jsonl.
Dim c, inv, v, seek
Set c = CreateObject("Vessa.HostConnection")
c.Open Setting("TARVIK_DB", 0)
Clean "open the database"
Set inv = CreateObject("TarvikInvoice.Invoice")
Set inv.Connect = c
Clean "create and connect an Invoice"

inv.Filter = ""
v = Empty: v = inv.OpenRecordset: ExpectTrue "OpenRecordset of every invoice", v
v = Empty: v = inv.RecordCount: ExpectEq "seven invoices", v, 7
ExpectEq "RecordCount is a Long", TypeName(v), "Long"
v = Empty: v = inv.InvoiceNo: ExpectEq "open stands on the last", v, "7"
v = Empty: v = inv.MoveNext: ExpectFalse "MoveNext past the last", v
v = Empty: v = inv.InvoiceNo: ExpectEq "a failed move keeps the header", v, "7"
v = Empty: v = inv.MoveFirst: ExpectTrue "MoveFirst", v
v = Empty: v = inv.InvoiceNo: ExpectEq "first invoice", v, "1"
v = Empty: v = inv.BillTo: ExpectEq "BillTo as saved", v, "Per order"
v = Empty: v = inv.FreightAmount: ExpectEq "FreightAmount as number text", v, "12.5"
v = Empty: v = inv.ShipDate: ExpectEq "ShipDate as a US date", v, "3/15/2026"
v = Empty: v = inv.PrintInvoiceBy: ExpectEq "made by order number", v, 0
v = Empty: v = inv.MovePrevious: ExpectFalse "MovePrevious before the first", v
v = Empty: v = inv.MoveNext: ExpectTrue "MoveNext from before the first", v
v = Empty: v = inv.InvoiceNo: ExpectEq "back on the first", v, "1"
v = Empty: v = inv.MoveNext: ExpectTrue "MoveNext", v
v = Empty: v = inv.InvoiceNo: ExpectEq "second invoice", v, "2"
v = Empty: v = inv.MoveLast: ExpectTrue "MoveLast", v
v = Empty: v = inv.InvoiceNo: ExpectEq "last invoice", v, "7"

' SeekRecord takes a Variant by reference: a number, a constant text, and
' a variable that must come back unchanged. (VBScript has no named
' arguments, so vSeekValue:= cannot be written here.)
v = Empty: v = inv.SeekRecord(3): ExpectTrue "SeekRecord 3", v
v = Empty: v = inv.InvoiceNo: ExpectEq "seek found 3", v, "3"
seek = "6"
v = Empty: v = inv.SeekRecord(seek): ExpectTrue "SeekRecord of a text variable", v
ExpectEq "the seek variable is unchanged", seek, "6"
v = Empty: v = inv.InvoiceNo: ExpectEq "seek found 6", v, "6"
v = Empty: v = inv.PrintInvoiceBy: ExpectEq "invoice 6 made by customer", v, 2
v = Empty: v = inv.SeekRecord(99): ExpectFalse "SeekRecord of a missing number", v
v = Empty: v = inv.InvoiceNo: ExpectEq "a failed seek keeps the header", v, "6"

' One invoice by number, then its header edited.
inv.Filter = "INVOICE_NUMBER"
inv.InvoiceNo = "4"
v = Empty: v = inv.FindByFilter: ExpectTrue "FindByFilter INVOICE_NUMBER 4", v
v = Empty: v = inv.RecordCount: ExpectEq "one invoice selected", v, 1
v = Empty: v = inv.InvoiceNo: ExpectEq "invoice 4 loaded", v, "4"
inv.BillTo = "O'Brien & Sons"
inv.FreightAmount = "7.25"
inv.Extra1 = "rush"
inv.Export_Flag = CByte(1)
inv.TransactionMode = 2
v = Empty: v = inv.Save: ExpectTrue "Save of an edited header (tmEdit)", v

' The edit marked it for export: the EXPORT selection finds it.
inv.Filter = "export"
inv.BillTo = ""
v = Empty: v = inv.Find: ExpectTrue "Find with Filter export", v
v = Empty: v = inv.Filter: ExpectEq "Find keeps Filter as it was", v, "export"
v = Empty: v = inv.RecordCount: ExpectEq "one invoice to export", v, 1
v = Empty: v = inv.InvoiceNo: ExpectEq "invoice 4 to export", v, "4"
v = Empty: v = inv.BillTo: ExpectEq "edited BillTo stored", v, "O'Brien & Sons"
v = Empty: v = inv.FreightAmount: ExpectEq "edited FreightAmount stored", v, "7.25"
v = Empty: v = inv.Extra1: ExpectEq "edited Extra1 stored", v, "rush"
v = Empty: v = inv.Export_Flag: ExpectEq "Export_Flag stored", v, 1

' Deletion asks first: invoice 2 answered Yes, invoice 3 answered No.
inv.InvoiceNo = "2"
inv.UserID = "clerk"
v = Empty: v = inv.Delete: ExpectTrue "Delete confirmed with Yes", v
inv.InvoiceNo = "3"
v = Empty: v = inv.Delete: ExpectFalse "Delete declined with No", v
inv.Filter = ""
v = Empty: v = inv.OpenRecordset: ExpectTrue "OpenRecordset after deleting", v
v = Empty: v = inv.RecordCount: ExpectEq "six invoices left", v, 6
inv.Filter = "INVOICE_NUMBER"
inv.InvoiceNo = "2"
v = Empty: v = inv.OpenRecordset: ExpectFalse "invoice 2 is gone", v
v = Empty: v = inv.InvoiceNo: ExpectEq "an empty selection empties InvoiceNo", v, ""

Set inv = Nothing
Set c = Nothing
Finish
