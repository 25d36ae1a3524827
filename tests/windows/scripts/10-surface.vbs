' answers: []
' uses checks.vbs

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
