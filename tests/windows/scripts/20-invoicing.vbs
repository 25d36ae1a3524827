' answers: [7,7,7]
' uses checks.vbs

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
