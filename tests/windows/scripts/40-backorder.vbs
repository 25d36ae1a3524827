' answers: [6,"6001","6002",1,6,null]
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

' A BackOrder reads the open lines of invoice 6 (customer C100, orders 1013
' and 1017) and turns them into new orders 6001 and 6002; invoice 1 has no
' open line; for invoice 7 the number prompt is cancelled, which creates
' nothing. Linux counterpart: 40-backorder.jsonl.
Dim c, bo, bo2, v
Set c = CreateObject("Vessa.HostConnection")
c.Open Setting("TARVIK_DB", 0)
Clean "open the database"
Set bo = CreateObject("TarvikInvoice.BackOrder")
Set bo.Connect = c
Clean "create and connect a BackOrder"

v = Empty: v = bo.QueryName: ExpectEq "QueryName", v, "v_BO_Detail"
bo.Invoice_No = "6"
bo.Filter = "kept"
v = Empty: v = bo.Find: ExpectTrue "Find the open lines of invoice 6", v
v = Empty: v = bo.Filter: ExpectEq "Filter kept", v, "kept"
v = Empty: v = bo.RecordCount: ExpectEq "two open lines", v, 2
v = Empty: v = bo.Invoice_No: ExpectEq "Invoice_No from the row", v, "6"
v = Empty: v = bo.Order_Number: ExpectEq "first line's order", v, "1013"
v = Empty: v = bo.Cust_ID: ExpectEq "first line's customer", v, "C100"
v = Empty: v = bo.ShipTo_Name: ExpectEq "first line's ship-to", v, "WAREHOUSE"
v = Empty: v = bo.Item_Number: ExpectEq "first line's item", v, "BOLT-10"
v = Empty: v = bo.Quantity_Ordered: ExpectEq "first line's ordered quantity", v, "10"
v = Empty: v = bo.Quantity_Packed: ExpectEq "first line's invoiced quantity", v, "2"
v = Empty: v = bo.MoveNext: ExpectTrue "MoveNext to the second line", v
v = Empty: v = bo.Order_Number: ExpectEq "second line's order", v, "1017"
v = Empty: v = bo.ShipTo_Name: ExpectEq "second line's ship-to", v, "HQ"
v = Empty: v = bo.MoveNext: ExpectFalse "MoveNext past the last line", v
bo.CloseRecordset
Clean "CloseRecordset"
v = Empty: v = bo.InfoMsg: ExpectEq "InfoMsg always empty", v, ""

' Yes, then 6001 and 6002; the closing OK box gets 1.
bo.Invoice_No = "6"
v = Empty: v = bo.BackOrder: ExpectTrue "BackOrder of invoice 6", v
bo.Invoice_No = "6"
v = Empty: v = bo.OpenRecordset: ExpectFalse "nothing left open on invoice 6", v
v = Empty: v = bo.RecordCount: ExpectEq "no open line", v, 0
bo.Invoice_No = "1"
v = Empty: v = bo.BackOrder: ExpectFalse "BackOrder of a fully invoiced invoice", v

' Yes, then the number prompt cancelled: nothing is created.
Set bo2 = CreateObject("TarvikInvoice.BackOrder")
Set bo2.Connect = c
bo2.Invoice_No = "7"
v = Empty: v = bo2.BackOrder: ExpectFalse "BackOrder cancelled at the prompt", v

Set bo2 = Nothing
Set bo = Nothing
Set c = Nothing
Finish
