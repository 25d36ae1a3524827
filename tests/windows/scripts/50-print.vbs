' answers: []
' uses checks.vbs

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
