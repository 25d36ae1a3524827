' answers: [7,7,7]
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

' Invoicing the demo orders in each of the four groupings, as a suite
' program does: next number, selection, header values, tmAdd, Save. Every
' back-order offer that follows a Save is declined (the answers above).
' Linux counterpart: 20-invoicing.jsonl.
Dim c, inv, v
Set c = CreateObject("VESSA.HostConnection")
c.Open Setting("TARVIK_DB", 0)
Clean "open the database"
Set inv = CreateObject("TarvikInvoice.Invoice")
Set inv.Connect = c
Clean "create and connect an Invoice"

' One invoice per order: orders 1001 to 1004 become invoices 1 to 4.
v = Empty: v = inv.Get_Next_Invoice_No: ExpectEq "next number before any invoice", v, "1"
inv.InvoiceNo = v
inv.PrintInvoiceBy = 0
inv.BeginOrder = "1001"
inv.EndOrder = "1004"
inv.ShipDate = "3/15/2026"
inv.BillTo = "Per order"
inv.FreightAmount = "12.50"
inv.TransactionMode = 1
v = Empty: v = inv.Save: ExpectTrue "Save by order number", v
v = Empty: v = inv.InvoiceNo: ExpectEq "positioned on the last new invoice", v, "4"

' By ship-to location: customer C200 at HQ.
v = Empty: v = inv.Get_Next_Invoice_No: ExpectEq "next number after four", v, "5"
inv.InvoiceNo = v
inv.PrintInvoiceBy = 1
inv.CustID = "C200"
inv.ShipTo = "HQ"
inv.BillTo = "Ship-to HQ"
inv.TransactionMode = 1
v = Empty: v = inv.Save: ExpectTrue "Save by ship-to location", v
v = Empty: v = inv.InvoiceNo: ExpectEq "invoice 5 made", v, "5"

' By customer: all of C100's packed lines.
v = Empty: v = inv.Get_Next_Invoice_No: ExpectEq "next number 6", v, "6"
inv.InvoiceNo = v
inv.PrintInvoiceBy = 2
inv.CustID = "C100"
inv.ShipTo = ""
inv.BillTo = "Customer C100"
inv.TransactionMode = 1
v = Empty: v = inv.Save: ExpectTrue "Save by customer", v
v = Empty: v = inv.InvoiceNo: ExpectEq "invoice 6 made", v, "6"

' By customer and order range: C300, orders 1011 to 1019.
v = Empty: v = inv.Get_Next_Invoice_No: ExpectEq "next number 7", v, "7"
inv.InvoiceNo = v
inv.PrintInvoiceBy = 3
inv.CustID = "C300"
inv.BeginOrder = "1011"
inv.EndOrder = "1019"
inv.BillTo = "C300 range"
inv.TransactionMode = 1
v = Empty: v = inv.Save: ExpectTrue "Save by customer and order range", v
v = Empty: v = inv.InvoiceNo: ExpectEq "invoice 7 made", v, "7"
v = Empty: v = inv.PrintInvoiceBy: ExpectEq "grouping read back from the header", v, 3
v = Empty: v = inv.Get_Next_Invoice_No: ExpectEq "next number 8", v, "8"

Set inv = Nothing
Set c = Nothing
Finish
