' answers: [6,"6001","6002",1,6,null]
' uses checks.vbs

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
