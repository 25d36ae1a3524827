' The checks every acceptance script uses. cscript has no include for .vbs
' files: scripts/test-windows puts this file in front of each script that
' says "uses checks.vbs" and runs the two as one.
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
