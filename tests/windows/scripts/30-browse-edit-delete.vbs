' answers: [6,7]
' uses checks.vbs

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
