#include "vessa/host_connection_object.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/late_bound.h"
#include "tests/support/error_number.h"
#include "tests/support/temp_database.h"

namespace tarvik::vessa {
namespace {

using testing::ErrorNumberOf;
using testing::TempDatabase;

IDispatch* Dispatch(const ComPtr<data::HostConnection>& c) { return c.get(); }

Variant Call(const ComPtr<data::HostConnection>& c, const char* member, std::vector<Variant> args = {}) {
  return InvokeByName(Dispatch(c), member, CallKind::kMethod, std::move(args));
}

TEST(HostConnectionObject, OpensAnExistingDatabaseAndWorksLateBound) {
  TempDatabase db;
  ComPtr<data::HostConnection> c = NewHostConnectionObject();
  EXPECT_FALSE(InvokeByName(Dispatch(c), "IsOpen", CallKind::kGet).ToBoolean());
  Call(c, "Open", {Variant::String(db.path())});
  EXPECT_TRUE(InvokeByName(Dispatch(c), "isopen", CallKind::kGet).ToBoolean());

  Call(c, "BeginTrans");
  EXPECT_EQ(Call(c, "Execute", {Variant::String("UPDATE System SET option_value = option_value")}).vt(), VT_BOOL);
  const std::int32_t options = InvokeByName(Dispatch(c), "RecordsAffected", CallKind::kGet).ToLong();
  EXPECT_GT(options, 0);
  EXPECT_EQ(c->TransactionDepth(), 1);
  Call(c, "Rollback");
  EXPECT_EQ(c->TransactionDepth(), 0);
  // The C++ contract the component uses reaches the same books.
  EXPECT_FALSE(c->DatabaseName().empty());
  EXPECT_NE(c->OpenQuery("SELECT option_name FROM System"), nullptr);
}

TEST(HostConnectionObject, MissingFileIsAClearErrorAndNothingIsCreated) {
  const std::filesystem::path missing =
      std::filesystem::temp_directory_path() / "tarvik-vessa-test-absent" / "absent.db";
  ComPtr<data::HostConnection> c = NewHostConnectionObject();
  try {
    Call(c, "Open", {Variant::String(missing.string())});
    ADD_FAILURE() << "Open of a missing file succeeded";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 3024);
    EXPECT_NE(e.description().find("absent.db"), std::string::npos) << e.description();
  }
  EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));
  EXPECT_EQ(ErrorNumberOf([&] { Call(c, "Open", {Variant::String("")}); }), 3024);
}

TEST(HostConnectionObject, EveryOperationBeforeOpenIsRefused) {
  ComPtr<data::HostConnection> c = NewHostConnectionObject();
  for (const char* member : {"BeginTrans", "CommitTrans", "Rollback"}) {
    EXPECT_EQ(ErrorNumberOf([&] { Call(c, member); }), 3704) << member;
  }
  EXPECT_EQ(ErrorNumberOf([&] { Call(c, "Execute", {Variant::String("DELETE FROM System")}); }), 3704);
  EXPECT_EQ(ErrorNumberOf([&] { InvokeByName(Dispatch(c), "DatabaseName", CallKind::kGet); }), 3704);
  EXPECT_EQ(ErrorNumberOf([&] { c->OpenQuery("SELECT 1"); }), 3704);
  EXPECT_EQ(ErrorNumberOf([&] { InvokeByName(Dispatch(c), "Nothing", CallKind::kMethod); }), 438);
}

TEST(HostConnectionObject, ReopeningClosesTheFirstAndCloseLeavesItUnopened) {
  TempDatabase first;
  TempDatabase second;
  ComPtr<data::HostConnection> c = NewHostConnectionObject();
  Call(c, "Open", {Variant::String(first.path())});
  Call(c, "BeginTrans");
  Call(c, "Open", {Variant::String(second.path())});
  EXPECT_EQ(c->TransactionDepth(), 0);
  Call(c, "Close");
  EXPECT_FALSE(InvokeByName(Dispatch(c), "IsOpen", CallKind::kGet).ToBoolean());
}

TEST(HostConnectionObject, AnswersTheConnectionContractAndNoForeignInterface) {
  ComPtr<data::HostConnection> c = NewHostConnectionObject();
  EXPECT_TRUE(ComPtr<IDispatch>(c.get()).As<data::HostConnection>(data::IID_HostConnection));
  const IID foreign = {0x12345678, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(c->QueryInterface(foreign, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
}

}  // namespace
}  // namespace tarvik::vessa
