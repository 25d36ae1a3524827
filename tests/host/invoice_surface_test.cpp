// The invoicing classes as a host sees them through the driver: created by
// program id, every published member reachable by name, initial values,
// plain properties, and the boxes the component shows.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/host/tarvik_process.h"
#include "tests/support/published_members.h"

namespace tarvik::host_test {
namespace {

using nlohmann::json;

// Published members of _Invoice and _BackOrder, each name once (a Let/Get
// pair shares its name).
const std::vector<std::string> kInvoiceMembers =
    testing::published::Names(testing::published::kInvoiceSlots);
const std::vector<std::string> kBackOrderMembers =
    testing::published::Names(testing::published::kBackOrderSlots);

class InvoiceSurfaceTest : public ::testing::Test, public TarvikTest {};

std::string Create(const std::string& progid, const std::string& as) {
  return R"({"op":"create","progid":")" + progid + R"(","as":")" + as + R"("})";
}

void ExpectEveryMemberResolves(const TarvikTest& t, const std::string& progid,
                               const std::vector<std::string>& members) {
  std::vector<std::string> lines = {Create(progid, "o")};
  for (const auto& m : members) {
    lines.push_back(R"({"op":"dispid","obj":"o","member":")" + m + R"("})");
  }
  lines.push_back(R"({"op":"dispid","obj":"o","member":"NoSuchMember"})");
  // Names resolve without regard to case, as a scripting host expects.
  lines.push_back(R"({"op":"dispid","obj":"o","member":"recordcount"})");
  auto replies = t.Script(lines);
  ASSERT_EQ(replies.size(), members.size() + 3);
  ASSERT_EQ(replies[0]["ok"], true) << replies[0].dump();
  std::set<int> ids;
  for (std::size_t i = 0; i < members.size(); ++i) {
    const json& r = replies[1 + i];
    EXPECT_EQ(r["ok"], true) << members[i] << ": " << r.dump();
    if (r["ok"] == true) ids.insert(r["dispid"].get<int>());
  }
  EXPECT_EQ(ids.size(), members.size()) << "two names share a dispatch id";
  EXPECT_EQ(replies[members.size() + 1]["error"]["number"], 438);
  EXPECT_EQ(replies[members.size() + 2]["ok"], true);
}

TEST_F(InvoiceSurfaceTest, EveryInvoiceMemberResolvesByName) {
  ExpectEveryMemberResolves(*this, "TarvikInvoice.Invoice", kInvoiceMembers);
}

TEST_F(InvoiceSurfaceTest, EveryBackOrderMemberResolvesByName) {
  ExpectEveryMemberResolves(*this, "TarvikInvoice.BackOrder", kBackOrderMembers);
}

TEST_F(InvoiceSurfaceTest, NewInvoiceStartsEmpty) {
  struct Case {
    std::string member;
    std::string vt;
    json value;
  };
  std::vector<Case> cases = {
      {"ShowMessageBox", "BOOL", -1}, {"PrintOnly", "BOOL", 0},
      {"PackVerify", "BOOL", 0},      {"Generate_Only", "BOOL", 0},
      {"LineStatus", "UI1", 0},       {"Export_Flag", "UI1", 0},
      {"RecordCount", "I4", 0},       {"TransactionMode", "I4", 0},
      {"PrintInvoiceBy", "I4", 0},    {"OrderKey", "I4", 0},
      {"PrintParentHandle", "I4", 0}, {"ReportFormula", "DISPATCH", nullptr},
  };
  for (const char* s : {"ShipTo", "CustID", "EndOrder", "BeginOrder", "BillTo", "OtherCharge",
                        "FreightAmount", "ShipDate", "InvoiceDate", "InvoiceNo", "ReportPath",
                        "InvoiceReport", "Extra2", "Extra1", "Paid", "UserID", "Export_Date",
                        "InfoMsg", "Filter"}) {
    cases.push_back({s, "BSTR", ""});
  }
  std::vector<std::string> lines = {Create("TarvikInvoice.Invoice", "i")};
  for (const auto& c : cases) {
    lines.push_back(R"({"op":"get","obj":"i","member":")" + c.member + R"("})");
  }
  auto replies = Script(lines);
  ASSERT_EQ(replies.size(), cases.size() + 1);
  ASSERT_EQ(replies[0]["ok"], true) << replies[0].dump();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].member);
    EXPECT_EQ(replies[1 + i]["vt"], cases[i].vt) << replies[1 + i].dump();
    EXPECT_EQ(replies[1 + i]["value"], cases[i].value);
  }
}

TEST_F(InvoiceSurfaceTest, PlainPropertiesReturnWhatTheyWereGiven) {
  struct Case {
    std::string member;
    std::string value;  // JSON of the let
    std::string vt;
    json expected;
  };
  const std::vector<Case> cases = {
      {"TransactionMode", "7", "I4", 7},
      {"PrintInvoiceBy", "-5", "I4", -5},
      {"InvoiceNo", R"("500")", "BSTR", "500"},
      {"ShipDate", R"("not a date")", "BSTR", "not a date"},
      {"Export_Flag", R"({"value":255,"vt":"UI1"})", "UI1", 255},
      {"ShowMessageBox", "false", "BOOL", 0},
      {"Generate_Only", "true", "BOOL", -1},
      {"RecordCount", "12", "I4", 12},
      {"InfoMsg", R"("left for the host")", "BSTR", "left for the host"},
  };
  std::vector<std::string> lines = {Create("TarvikInvoice.Invoice", "i")};
  for (const auto& c : cases) {
    lines.push_back(R"({"op":"let","obj":"i","member":")" + c.member + R"(","value":)" + c.value +
                    "}");
    lines.push_back(R"({"op":"get","obj":"i","member":")" + c.member + R"("})");
  }
  auto replies = Script(lines);
  ASSERT_EQ(replies.size(), 1 + 2 * cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].member);
    EXPECT_EQ(replies[1 + 2 * i]["ok"], true) << replies[1 + 2 * i].dump();
    EXPECT_EQ(replies[2 + 2 * i]["vt"], cases[i].vt);
    EXPECT_EQ(replies[2 + 2 * i]["value"], cases[i].expected);
  }
}

TEST_F(InvoiceSurfaceTest, ReportFormulaHoldsTheHostsCollection) {
  auto replies = Script({
      Create("TarvikInvoice.Invoice", "i"),
      R"({"op":"collection","as":"f"})",
      R"({"op":"set","obj":"i","member":"ReportFormula","ref":"f"})",
      R"({"op":"call","obj":"f","member":"Add","args":["Title='X'"]})",
      R"({"op":"get","obj":"i","member":"ReportFormula","as":"back"})",
      R"({"op":"get","obj":"back","member":"Count"})",
      R"({"op":"set","obj":"i","member":"ReportFormula","ref":null})",
      R"({"op":"get","obj":"i","member":"ReportFormula"})",
  });
  ASSERT_EQ(replies.size(), 8u);
  EXPECT_EQ(replies[2]["ok"], true) << replies[2].dump();
  EXPECT_EQ(replies[4]["vt"], "DISPATCH");
  EXPECT_EQ(replies[5]["value"], 1);
  EXPECT_EQ(replies[6]["ok"], true) << replies[6].dump();
  EXPECT_EQ(replies[7]["value"], nullptr);
}

// Delete always asks first; the answer comes from the queue and the box is
// reported as an event line before the reply of the call.
TEST_F(InvoiceSurfaceTest, DeleteConfirmationIsAnsweredFromTheQueue) {
  std::string db = InitDatabase("t.db", false);
  const std::vector<std::string> prelude = {
      R"({"op":"open","db":")" + db + R"(","as":"c"})",
      Create("TarvikInvoice.Invoice", "i"),
      R"({"op":"set","obj":"i","member":"Connect","ref":"c"})",
      R"({"op":"let","obj":"i","member":"InvoiceNo","value":"42"})",
  };
  struct Case {
    std::vector<std::string> extra_args;
    std::string answers_line;  // empty: none
    int answer;
  };
  const std::vector<Case> cases = {
      {{}, R"({"op":"answers","queue":[7]})", 7},
      {{}, "", 7},  // empty queue: No is the default button
      {{"--answers", "[7]"}, "", 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answers_line + (c.extra_args.empty() ? "" : " --answers"));
    std::vector<std::string> lines = prelude;
    if (!c.answers_line.empty()) lines.push_back(c.answers_line);
    lines.push_back(R"({"op":"call","obj":"i","member":"Delete","id":"del"})");
    auto out = Script(lines, c.extra_args);
    ASSERT_GE(out.size(), 2u);
    const json& event = out[out.size() - 2];
    const json& reply = out.back();
    EXPECT_EQ(event["event"], "msgbox");
    EXPECT_EQ(event["text"], "Are you sure you want to delete Invoice '42'?");
    EXPECT_EQ(event["style"], 308);
    EXPECT_EQ(event["title"], "Delete Records");
    EXPECT_EQ(event["answer"], c.answer);
    EXPECT_EQ(reply["id"], "del");
    EXPECT_EQ(reply["vt"], "BOOL");
    EXPECT_EQ(reply["value"], 0);
  }
}

}  // namespace
}  // namespace tarvik::host_test
