// The options reader over the System table.
#include <gtest/gtest.h>

#include "components/system_options.h"
#include "tests/support/fake_data.h"

namespace tarvik::testing {
namespace {

TEST(SystemOptions, ReadsTheSystemTableAndMatchesNamesExactly) {
  ComPtr<FakeConnection> c = MakeCom<FakeConnection>();
  c->system_rows = std::vector<std::vector<data::Value>>{
      {std::string("Invoice No Partial Picking"), std::string("1")},
      {std::string("Auto Backorder"), std::int64_t{0}}};
  ComPtr<components::SystemOptions> o = components::NewSystemOptions();
  o->SetConnection(c);
  ASSERT_TRUE(o->Open());
  EXPECT_EQ(o->OptionValue(), "");
  EXPECT_FALSE(o->FindOption(Variant::String("invoice no partial picking")));
  ASSERT_TRUE(o->FindOption(Variant::String("Invoice No Partial Picking")));
  EXPECT_EQ(o->OptionValue(), "1");
  ASSERT_TRUE(o->FindOption(Variant::String("Auto Backorder")));
  EXPECT_EQ(o->OptionValue(), "0");
}

TEST(SystemOptions, UnreadableTableIsNeverTakenForAnOptionThatIsOff) {
  ComPtr<FakeConnection> c = MakeCom<FakeConnection>();
  ComPtr<components::SystemOptions> o = components::NewSystemOptions();
  o->SetConnection(c);
  EXPECT_FALSE(o->Open());
  // A caller that went on regardless learns why when it looks an option up.
  EXPECT_THROW(o->FindOption(Variant::String("Invoice No Partial Picking")), AutomationError);
}

}  // namespace
}  // namespace tarvik::testing
