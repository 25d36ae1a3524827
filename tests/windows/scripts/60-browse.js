// answers: []
// The same component from JScript, read-only: browsing the invoices the
// VBScript runs left (1, 3 to 7; 2 was deleted, 4 is marked for export)
// and the refusals as JScript sees them (exceptions whose number is the
// HRESULT). Changes nothing, so it has no Linux counterpart.

// --- checks ---
var passed = 0, failed = 0;
var env = new ActiveXObject("WScript.Shell").Environment("PROCESS");

function setting(name, index) {
  return WScript.Arguments.length > index ? WScript.Arguments(index) : env(name);
}
function fail(what, detail) {
  failed++;
  WScript.Echo("FAIL " + what + ": " + detail);
}
function shown(value) {
  return typeof value + " '" + value + "'";
}
function hex(number) {
  return "0x" + (number >>> 0).toString(16).toUpperCase();
}
// Runs step(); an exception is a failure reported under what.
function attempt(what, step) {
  try {
    return { ok: true, value: step() };
  } catch (e) {
    fail(what, "error " + hex(e.number) + ": " + e.description);
    return { ok: false };
  }
}
function expectEq(what, step, expected) {
  var r = attempt(what, step);
  if (!r.ok) return;
  if (typeof r.value === typeof expected && r.value === expected) passed++;
  else fail(what, "expected " + shown(expected) + ", got " + shown(r.value));
}
// step() must throw one of the HRESULTs in codes (Windows' JScript and
// Wine's differ in whether dispatch errors become 0x800A.... numbers).
function expectThrow(what, step, codes) {
  try {
    step();
  } catch (e) {
    for (var i = 0; i < codes.length; i++) {
      if ((e.number >>> 0) === codes[i]) {
        if (String(e.description).length > 0 || codes[i] !== 0x800A0005) passed++;
        else fail(what, "error " + hex(e.number) + " without a description");
        return e;
      }
    }
    fail(what, "expected " + hex(codes[0]) + ", got " + hex(e.number) + ": " + e.description);
    return e;
  }
  fail(what, "expected " + hex(codes[0]) + ", nothing was thrown");
  return null;
}
function finish() {
  WScript.Echo(passed + " passed, " + failed + " failed");
  WScript.Quit(failed);
}
var CANNOT_CREATE = [0x800A01AD];
var UNKNOWN_MEMBER = [0x800A01B6, 0x80020006];  // 438, or DISP_E_UNKNOWNNAME under Wine
var TYPE_MISMATCH = [0x800A000D, 0x80020005];  // 13, or DISP_E_TYPEMISMATCH under Wine
var COMPONENT_ERROR_5 = [0x800A0005];
// --- end of checks ---

var c = null, inv = null;
attempt("open the database", function () {
  c = new ActiveXObject("Vessa.HostConnection");
  c.Open(setting("TARVIK_DB", 0));
  inv = new ActiveXObject("TarvikInvoice.Invoice");
  inv.Connect = c;
});
if (inv === null) finish();

inv.Filter = "";
expectEq("OpenRecordset", function () { return inv.OpenRecordset(); }, true);
expectEq("RecordCount", function () { return inv.RecordCount; }, 6);
expectEq("MoveFirst", function () { return inv.MoveFirst(); }, true);
var numbers = [];
attempt("walk with MoveNext", function () {
  do numbers.push(inv.InvoiceNo); while (inv.MoveNext() && numbers.length < 100);
});
expectEq("every invoice in number order", function () { return numbers.join(","); }, "1,3,4,5,6,7");
expectEq("MovePrevious from past the end", function () { return inv.MovePrevious(); }, true);
expectEq("back on the last", function () { return inv.InvoiceNo; }, "7");
expectEq("MovePrevious", function () { return inv.MovePrevious(); }, true);
expectEq("the one before the last", function () { return inv.InvoiceNo; }, "6");
expectEq("SeekRecord(5)", function () { return inv.SeekRecord(5); }, true);
expectEq("invoice 5 made by ship-to", function () { return inv.PrintInvoiceBy; }, 1);
expectEq("SeekRecord(\"3\")", function () { return inv.SeekRecord("3"); }, true);
expectEq("invoice 3 kept its header", function () { return inv.BillTo; }, "Per order");
expectEq("SeekRecord(2), deleted", function () { return inv.SeekRecord(2); }, false);

inv.Filter = "Export";
expectEq("Find the invoices to export", function () { return inv.Find(); }, true);
expectEq("only invoice 4", function () { return inv.InvoiceNo + "/" + inv.RecordCount; }, "4/1");
expectEq("Export_Flag", function () { return inv.Export_Flag; }, 1);

expectThrow("an unregistered program id", function () { new ActiveXObject("TarvikInvoice.NoSuchClass"); }, CANNOT_CREATE);
expectThrow("an unknown method", function () { inv.NoSuchMethod(); }, UNKNOWN_MEMBER);
expectThrow("setting an unknown property", function () { inv.NoSuchProperty = 1; }, UNKNOWN_MEMBER);
// Reading one is no error in JScript: a name the object does not know reads as undefined.
expectEq("reading an unknown property", function () { return typeof inv.NoSuchProperty; }, "undefined");
expectThrow("TransactionMode = \"abc\"", function () { inv.TransactionMode = "abc"; }, TYPE_MISMATCH);
inv.Filter = "";
var e = expectThrow("DeleteByFilter with an empty Filter", function () { inv.DeleteByFilter(); }, COMPONENT_ERROR_5);
if (e !== null && String(e.description).indexOf("DeleteByFilter") < 0) fail("the component's description", shown(e.description));
inv.Filter = "INVOICE_NUMBER";
inv.InvoiceNo = "2";
expectEq("nothing was deleted", function () { inv.InvoiceNo = "3"; return inv.FindByFilter(); }, true);

inv = null;
c = null;
finish();
