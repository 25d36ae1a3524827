// SystemOptions over the connection: the System table is read once by Open
// (option_name, option_value), then looked up by exact name.
#include "components/system_options.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "data/result_set.h"
#include "data/value.h"
#include "platform/com_object.h"
#include "platform/error.h"
#include "platform/regional.h"

namespace tarvik::components {
namespace {

class SystemOptionsImpl final : public ComObject<SystemOptionsImpl, SystemOptions> {
 public:
  void SetConnection(ComPtr<data::HostConnection> connection) override {
    connection_ = std::move(connection);
  }

  bool Open() override {
    options_.clear();
    current_ = -1;
    open_error_.reset();
    if (!connection_) return false;
    try {
      std::unique_ptr<data::ResultSet> rows =
          connection_->OpenQuery("SELECT option_name, option_value FROM System");
      std::vector<std::pair<std::string, std::string>> read;
      for (std::int64_t row = 0; rows->Seek(row); ++row) {
        read.emplace_back(data::ValueToText(rows->Column(0)), data::ValueToText(rows->Column(1)));
      }
      options_ = std::move(read);
      return true;
    } catch (const AutomationError& error) {
      // Callers that ignore Open's answer must not take an unreadable
      // table for an option that is off: the lookup raises the reason.
      open_error_ = error;
      return false;
    }
  }

  bool FindOption(const Variant& name) override {
    if (open_error_) throw *open_error_;
    const std::string wanted = name.ToString();
    for (std::size_t i = 0; i < options_.size(); ++i) {
      if (options_[i].first == wanted) {
        current_ = static_cast<long>(i);
        return true;
      }
    }
    return false;
  }

  std::string OptionValue() override {
    return current_ >= 0 ? options_[static_cast<std::size_t>(current_)].second : std::string();
  }

 private:
  ComPtr<data::HostConnection> connection_;
  std::vector<std::pair<std::string, std::string>> options_;
  long current_ = -1;
  std::optional<AutomationError> open_error_;
};

}  // namespace

ComPtr<SystemOptions> NewSystemOptions() { return MakeCom<SystemOptionsImpl>(); }

}  // namespace tarvik::components
