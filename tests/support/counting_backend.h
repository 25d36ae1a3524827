// A backend that forwards to a real one and counts the texts it is handed,
// to show how many distinct statements reach the engine.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>

#include "data/backend.h"

namespace tarvik::testing {

class CountingBackend : public data::Backend {
 public:
  explicit CountingBackend(std::unique_ptr<data::Backend> real) : real_(std::move(real)) {}
  // Texts of Execute and Query, each with the number of times it came.
  const std::map<std::string, std::size_t>& texts() const { return texts_; }
  void Clear() { texts_.clear(); }

  data::Dialect dialect() const override { return real_->dialect(); }
  std::string DatabaseName() const override { return real_->DatabaseName(); }
  std::int64_t Execute(const std::string& sql, const std::vector<data::Value>& params) override {
    ++texts_[sql];
    return real_->Execute(sql, params);
  }
  std::unique_ptr<data::ResultSet> Query(const std::string& sql, const std::vector<data::Value>& params) override {
    ++texts_[sql];
    return real_->Query(sql, params);
  }
  void ExecuteScript(std::string_view sql) override { real_->ExecuteScript(sql); }
  void Begin() override { real_->Begin(); }
  void Commit() override { real_->Commit(); }
  void Rollback() override { real_->Rollback(); }
  void Savepoint(const std::string& name) override { real_->Savepoint(name); }
  void ReleaseSavepoint(const std::string& name) override { real_->ReleaseSavepoint(name); }
  void RollbackToSavepoint(const std::string& name) override { real_->RollbackToSavepoint(name); }

 private:
  std::unique_ptr<data::Backend> real_;
  std::map<std::string, std::size_t> texts_;
};

}  // namespace tarvik::testing
