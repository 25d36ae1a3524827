#include "host/script/script_driver.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string_view>

#include "data/value.h"
#include "host/database_open.h"
#include "host/hex_code.h"
#include "host/output/variant_json.h"
#include "host/script/script_input.h"
#include "host/server_library.h"
#include "host/ui/answers.h"
#include "platform/ascii.h"
#include "platform/class_registry.h"
#include "platform/collection.h"
#include "platform/error.h"
#include "platform/json_nesting.h"
#include "platform/late_bound.h"
#include "platform/limits.h"
#include "platform/regional.h"

namespace tarvik::host {
namespace {

using nlohmann::json;
using ojson = nlohmann::ordered_json;

[[noreturn]] void BadRequest(const std::string& why) {
  RaiseError(kErrInvalidProcedureCall, why);
}

const json& Field(const json& req, const char* name) {
  auto it = req.find(name);
  if (it == req.end()) BadRequest(std::string("missing field \"") + name + "\"");
  return *it;
}

std::string TextField(const json& req, const char* name) {
  const json& f = Field(req, name);
  if (!f.is_string()) BadRequest(std::string("field \"") + name + "\" must be a text");
  return f.get<std::string>();
}

// A malformed line is quoted in its refusal only so far as it helps to find it.
std::string Excerpt(const std::string& raw) {
  constexpr std::size_t kShown = 200;
  return raw.size() <= kShown ? raw : raw.substr(0, kShown) + "...";
}

const std::string kLineTooLong = "the line is longer than " + std::to_string(kMaxScriptLineBytes) +
                                 " bytes and was skipped";
const std::string kTooDeep = "the request nests lists and objects more than " +
                             std::to_string(kMaxJsonDepth) + " deep";

ojson ErrorJson(HRESULT h, std::int32_t number, const std::string& description) {
  ojson e;
  e["hresult"] = HexCode(h);
  e["number"] = number;
  e["description"] = description;
  return e;
}


// A failed CreateObject keeps the registry's HRESULT beside number 429.
struct CreateError : std::runtime_error {
  CreateError(HRESULT code, const std::string& description)
      : std::runtime_error(description), hresult(code) {}
  HRESULT hresult;
};

// The calls through which an invoice number reaches a DELETE or UPDATE of a
// header. The component reads a number it cannot read as 0, so "INV-7"
// would delete or rewrite invoice 0; the driver, like the command line,
// lets only a number through.
struct KeyedCall {
  const char* member;
  bool (*keyed)(IDispatch* invoice);  // whether this call acts on InvoiceNo now
};

const KeyedCall kKeyedCalls[] = {
    {"Delete", [](IDispatch*) { return true; }},
    {"DeleteByFilter",
     [](IDispatch* invoice) {
       return AsciiUpper(InvokeByName(invoice, "Filter", CallKind::kGet).ToString()) == "INVOICE_NUMBER";
     }},
    {"Save",
     [](IDispatch* invoice) {
       constexpr std::int32_t kTmEdit = 2;
       return InvokeByName(invoice, "TransactionMode", CallKind::kGet).ToLong() == kTmEdit;
     }},
};

void RefuseInvoiceNoThatIsNoNumber(IDispatch* object, const std::string& member) {
  const std::string upper = AsciiUpper(member);
  for (const KeyedCall& call : kKeyedCalls) {
    if (upper != AsciiUpper(call.member)) continue;
    if (!HasMember(object, "InvoiceNo") || !call.keyed(object)) return;
    const std::string number = InvokeByName(object, "InvoiceNo", CallKind::kGet).ToString();
    if (regional::ParseNumber(number)) return;
    BadRequest(std::string(call.member) + " refused: InvoiceNo '" + Excerpt(number) +
               "' is not an invoice number; nothing was changed");
  }
}

}  // namespace

const ScriptDriver::Op ScriptDriver::kOps[] = {
    {"open", &ScriptDriver::Open},
    {"create", &ScriptDriver::Create},
    {"set", &ScriptDriver::Set},
    {"let", &ScriptDriver::Let},
    {"get", &ScriptDriver::Get},
    {"call", &ScriptDriver::Call},
    {"collection", &ScriptDriver::NewCollectionOp},
    {"answers", &ScriptDriver::Answers},
    {"sql", &ScriptDriver::Sql},
    {"release", &ScriptDriver::Release},
    {"dispid", &ScriptDriver::DispId},
};

ScriptDriver::ScriptDriver(std::ostream& out, std::vector<ScriptedUi::Answer> answers)
    : out_(out) {
  ui_.SetAnswers(std::move(answers));
  ui_.SetListener([this](const UiEvent& e) {
    if (box_log_) box_log_->Append(e);
    Write(EventJson(e));
  });
  host_ui_.emplace(&ui_);
}

void ScriptDriver::LogBoxesTo(const std::string& path) { box_log_.emplace(path); }

ScriptDriver::~ScriptDriver() {
  // Objects go before the connections they were handed, newest first.
  while (!objects_.empty()) objects_.pop_back();
  host_ui_.reset();
}

void ScriptDriver::Run(std::istream& in) {
  std::string line;
  for (;;) {
    switch (ReadBoundedLine(in, line, kMaxScriptLineBytes)) {
      case LineRead::kEnd:
        return;
      case LineRead::kTooLong:
        Refuse(kLineTooLong);
        break;
      case LineRead::kLine:
        HandleLine(line);
        break;
    }
  }
}

void ScriptDriver::Refuse(const std::string& why) {
  const AutomationError e(kErrInvalidProcedureCall, why);
  ojson reply;
  reply["ok"] = false;
  reply["error"] = ErrorJson(e.hresult(), e.number(), e.description());
  Write(reply);
}

// A request that was not valid UTF-8 is echoed in its error reply: its bad
// bytes are replaced rather than ending the driver.
void ScriptDriver::Write(const ojson& line) {
  out_ << line.dump(-1, ' ', false, ojson::error_handler_t::replace) << '\n' << std::flush;
}

void ScriptDriver::HandleLine(const std::string& raw) {
  if (raw.find_first_not_of(" \t\r\n") == std::string::npos) return;
  // Refused before parsing: neither is read into a document.
  if (raw.size() > kMaxScriptLineBytes) return Refuse(kLineTooLong);
  if (NestedDeeperThan(raw, kMaxJsonDepth)) return Refuse(kTooDeep);
  ojson reply;
  json req = json::parse(raw, nullptr, /*allow_exceptions=*/false);
  if (req.is_object() && req.contains("id")) reply["id"] = req["id"];
  try {
    if (req.is_discarded()) BadRequest("malformed JSON: " + Excerpt(raw));
    if (!req.is_object()) BadRequest("a request must be a JSON object");
    const std::string op = TextField(req, "op");
    const Op* found = nullptr;
    for (const Op& o : kOps) {
      if (op == o.name) found = &o;
    }
    if (!found) BadRequest("unknown op \"" + op + "\"");
    Reply fields = (this->*(found->handler))(req);
    reply["ok"] = true;
    for (auto& [k, v] : fields.items()) reply[k] = v;
  } catch (const AutomationError& e) {
    reply["ok"] = false;
    reply["error"] = ErrorJson(e.hresult(), e.number(), e.description());
  } catch (const CreateError& e) {
    reply["ok"] = false;
    reply["error"] = ErrorJson(e.hresult, kErrCannotCreateObject, e.what());
  } catch (const std::exception& e) {
    reply["ok"] = false;
    reply["error"] = ErrorJson(E_FAIL, 0, e.what());
  }
  Write(reply);
}

ScriptDriver::Named& ScriptDriver::Find(const std::string& name) {
  for (auto& n : objects_) {
    if (n.name == name) return n;
  }
  BadRequest("unknown object \"" + name + "\"");
}

void ScriptDriver::Keep(const std::string& name, ComPtr<IDispatch> object,
                        ComPtr<data::HostConnection> connection) {
  // A name used again lets go of what it held.
  objects_.erase(std::remove_if(objects_.begin(), objects_.end(),
                                [&](const Named& n) { return n.name == name; }),
                 objects_.end());
  objects_.push_back({name, std::move(object), std::move(connection)});
}

std::vector<Variant> ScriptDriver::Args(const json& req) {
  std::vector<Variant> args;
  auto it = req.find("args");
  if (it == req.end()) return args;
  if (!it->is_array()) BadRequest("field \"args\" must be a list");
  ObjectLookup lookup = [this](const std::string& name) { return Find(name).object.get(); };
  for (const auto& a : *it) args.push_back(VariantFromJson(a, lookup));
  return args;
}

ScriptDriver::Reply ScriptDriver::ValueReply(const json& req, const Variant& v) {
  Reply r;
  r["vt"] = VtName(v.vt());
  r["value"] = VariantToJson(v);
  // An object result can be kept for later requests.
  if (req.contains("as") && v.vt() == VT_DISPATCH && v.raw().pdispVal) {
    Keep(TextField(req, "as"), ComPtr<IDispatch>(v.raw().pdispVal));
  }
  return r;
}

ScriptDriver::Reply ScriptDriver::Open(const json& req) {
  std::string db = TextField(req, "db");
  std::string as = TextField(req, "as");
  const auto read_only = req.find("read_only");
  ComPtr<data::HostConnection> c;
  if (read_only != req.end() && read_only->is_boolean() && read_only->get<bool>()) {
    c = OpenForReading(db);
  } else {
    // What the open repaired is told before its reply, as boxes are.
    c = OpenForWriting(db, [this](const std::string& text) {
      Write(ojson{{"event", "recovery"}, {"text", text}});
    });
  }
  Keep(as, ComPtr<IDispatch>(c.get()), c);
  return Reply::object();
}

ScriptDriver::Reply ScriptDriver::Create(const json& req) {
  std::string progid = TextField(req, "progid");
  std::string as = TextField(req, "as");
  if (!registered_) registered_ = EnsureServerRegistered().empty();
  ComPtr<IDispatch> object;
  HRESULT h = CreateObject(progid, &object);
  if (Failed(h) || !object) {
    auto rec = TakeErrorRecord();
    if (rec && rec->hresult == h) {
      throw AutomationError(rec->number, rec->description, rec->source);
    }
    // A host sees "can't create object" (429) with the registry's own code.
    std::string why = h == REGDB_E_CLASSNOTREG ? "class not registered" : "creation failed";
    throw CreateError(h, "Cannot create object \"" + progid + "\": " + why);
  }
  Keep(as, std::move(object));
  return Reply::object();
}

ScriptDriver::Reply ScriptDriver::Set(const json& req) {
  Named& target = Find(TextField(req, "obj"));
  std::string member = TextField(req, "member");
  const json& ref = Field(req, "ref");
  Variant value = ref.is_null() ? Variant::Dispatch(nullptr)
                                : Variant::Dispatch(Find(TextField(req, "ref")).object.get());
  std::vector<Variant> args = Args(req);
  args.push_back(std::move(value));
  InvokeByName(target.object.get(), member, CallKind::kSet, std::move(args));
  return Reply::object();
}

ScriptDriver::Reply ScriptDriver::Let(const json& req) {
  Named& target = Find(TextField(req, "obj"));
  std::string member = TextField(req, "member");
  ObjectLookup lookup = [this](const std::string& name) { return Find(name).object.get(); };
  Variant value = req.contains("ref") ? VariantFromJson(json{{"ref", req["ref"]}}, lookup)
                                      : VariantFromJson(Field(req, "value"), lookup);
  if (req.contains("vt")) value = ForceType(value, TextField(req, "vt"));
  std::vector<Variant> args = Args(req);
  args.push_back(std::move(value));
  InvokeByName(target.object.get(), member, CallKind::kLet, std::move(args));
  return Reply::object();
}

ScriptDriver::Reply ScriptDriver::Get(const json& req) {
  Named& target = Find(TextField(req, "obj"));
  std::string member = TextField(req, "member");
  RefuseInvoiceNoThatIsNoNumber(target.object.get(), member);
  return ValueReply(req, InvokeByName(target.object.get(), member, CallKind::kGet, Args(req)));
}

ScriptDriver::Reply ScriptDriver::Call(const json& req) {
  Named& target = Find(TextField(req, "obj"));
  std::string member = TextField(req, "member");
  RefuseInvoiceNoThatIsNoNumber(target.object.get(), member);
  return ValueReply(req, InvokeByName(target.object.get(), member, CallKind::kMethod, Args(req)));
}

ScriptDriver::Reply ScriptDriver::NewCollectionOp(const json& req) {
  std::string as = TextField(req, "as");
  ComPtr<Collection> c = NewCollection();
  Keep(as, ComPtr<IDispatch>(c.get()));
  return Reply::object();
}

ScriptDriver::Reply ScriptDriver::Answers(const json& req) {
  ui_.SetAnswers(ParseAnswers(Field(req, "queue")));
  return Reply::object();
}

ScriptDriver::Reply ScriptDriver::Sql(const json& req) {
  std::string conn = TextField(req, "conn");
  std::string query = TextField(req, "query");
  Named& c = Find(conn);
  if (!c.connection) BadRequest("\"" + conn + "\" is not a connection opened by \"open\"");
  const data::RowsRead read = c.connection->ReadOnlyRows(query, data::ReadLimits{});
  if (read.more) {
    BadRequest("the query gives more than " + std::to_string(data::ReadLimits{}.max_rows) +
               " rows; narrow it (WHERE, LIMIT)");
  }
  Reply columns = Reply::array();
  for (const auto& name : read.columns) columns.push_back(name);
  Reply rows = Reply::array();
  for (const auto& values : read.rows) {
    Reply row = Reply::array();
    for (const auto& value : values) row.push_back(ValueToJson(value));
    rows.push_back(std::move(row));
  }
  Reply out;
  out["columns"] = std::move(columns);
  out["rows"] = std::move(rows);
  return out;
}

ScriptDriver::Reply ScriptDriver::Release(const json& req) {
  std::string name = TextField(req, "obj");
  Find(name);
  objects_.erase(std::remove_if(objects_.begin(), objects_.end(),
                                [&](const Named& n) { return n.name == name; }),
                 objects_.end());
  return Reply::object();
}

ScriptDriver::Reply ScriptDriver::DispId(const json& req) {
  Named& target = Find(TextField(req, "obj"));
  Reply r;
  r["dispid"] = GetDispId(target.object.get(), TextField(req, "member"));
  return r;
}

}  // namespace tarvik::host
