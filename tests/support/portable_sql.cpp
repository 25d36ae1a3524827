#include "tests/support/portable_sql.h"

#include <atomic>
#include <ctime>

#include "data/backend.h"

namespace tarvik::testing {

void InstallRefusingTrigger(const std::string& database, const std::string& table, const std::string& event,
                            const std::string& message, const std::string& when) {
  static std::atomic<int> counter{0};
  const std::string name = "test_refuse_" + std::to_string(++counter);
  auto b = data::OpenBackend(database);
  if (b->dialect() == data::Dialect::kPostgres) {
    const std::string test = when.empty() ? "TRUE" : when;
    b->ExecuteScript("CREATE FUNCTION " + name + "() RETURNS trigger AS $$ BEGIN IF " + test +
                     " THEN RAISE EXCEPTION '" + message + "'; END IF; RETURN NEW; END $$ LANGUAGE plpgsql;" +
                     " CREATE TRIGGER " + name + " BEFORE " + event + " ON " + table + " FOR EACH ROW EXECUTE FUNCTION " +
                     name + "()");
  } else {
    b->ExecuteScript("CREATE TRIGGER " + name + " BEFORE " + event + " ON " + table +
                     (when.empty() ? "" : " WHEN " + when) + " BEGIN SELECT RAISE(ABORT, '" + message + "'); END;");
  }
}

std::string TodayIso() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y-%m-%d", &local);
  return buf;
}

}  // namespace tarvik::testing
