#include "host/output/command_failure.h"

#include <ostream>

#include <nlohmann/json.hpp>

#include "host/database_open.h"
#include "platform/error.h"

namespace tarvik::host {

int Fail(std::ostream& out, std::ostream& err, bool json, std::int32_t number,
         const std::string& text) {
  err << "tarvik: " << text << (number ? " (error " + std::to_string(number) + ")" : "") << "\n";
  if (json) {
    nlohmann::ordered_json doc;
    doc["ok"] = false;
    doc["error"] = {{"number", number}, {"description", text}};
    out << doc.dump(2) << "\n";
  }
  return 1;
}

int RunReportingFailure(std::ostream& out, std::ostream& err, bool json,
                        const std::function<int()>& body) {
  try {
    return body();
  } catch (const AutomationError& e) {
    return Fail(out, err, json, e.number(), e.description());
  } catch (const NotOurDatabase& e) {
    Fail(out, err, json, 0, e.what());
    return 3;
  } catch (const NoWriteAccess& e) {
    Fail(out, err, json, 0, e.what());
    return 3;
  } catch (const std::exception& e) {
    return Fail(out, err, json, 0, e.what());
  }
}

}  // namespace tarvik::host
