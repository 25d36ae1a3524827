#include "bench/pq_pipeline.h"

#include <cstdio>
#include <stdexcept>

namespace tarvik::bench {
namespace {

struct Clear {
  void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, Clear>;

std::string Text(const RawValue& v) {
  if (auto* n = std::get_if<std::int64_t>(&v)) return std::to_string(*n);
  if (auto* d = std::get_if<double>(&v)) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", *d);
    return buf;
  }
  return std::get<std::string>(v);
}

}  // namespace

PqPipeline::PqPipeline(const std::string& uri) : conn_(PQconnectdb(uri.c_str())) {
  if (PQstatus(conn_.get()) != CONNECTION_OK) {
    throw std::runtime_error("libpq: " + std::string(PQerrorMessage(conn_.get())));
  }
  // The server's notices (a DROP ... IF EXISTS that found nothing) are not figures.
  PQsetNoticeProcessor(conn_.get(), [](void*, const char*) {}, nullptr);
  Result set(PQexec(conn_.get(),
                    "SET standard_conforming_strings = on; SET TIME ZONE 'UTC'; SET datestyle = 'ISO, MDY'"));
  if (PQresultStatus(set.get()) != PGRES_COMMAND_OK) {
    throw std::runtime_error("libpq: " + std::string(PQerrorMessage(conn_.get())));
  }
  ++round_trips_;
  if (PQenterPipelineMode(conn_.get()) != 1) throw std::runtime_error("libpq: no pipeline mode");
}

void PqPipeline::Prepare(const std::string& name, const std::string& sql) {
  if (PQsendPrepare(conn_.get(), name.c_str(), sql.c_str(), 0, nullptr) != 1) {
    throw std::runtime_error("libpq: " + std::string(PQerrorMessage(conn_.get())));
  }
}

void PqPipeline::Send(const std::string& name, const std::vector<RawValue>& values) {
  std::vector<std::string> texts(values.size());
  std::vector<const char*> args(values.size(), nullptr);
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (std::holds_alternative<std::monostate>(values[i])) continue;
    texts[i] = Text(values[i]);
    args[i] = texts[i].c_str();
  }
  if (PQsendQueryPrepared(conn_.get(), name.c_str(), static_cast<int>(args.size()), args.data(), nullptr,
                          nullptr, 0) != 1) {
    throw std::runtime_error("libpq: " + std::string(PQerrorMessage(conn_.get())));
  }
}

void PqPipeline::Sync(std::vector<std::int64_t>* first_column) {
  SyncAhead();
  Answer(first_column);
}

void PqPipeline::SyncAhead() {
  // Blocking libpq reads the server's answers into its buffer while it
  // waits to write, so a long pipeline cannot stall both ends.
  if (PQpipelineSync(conn_.get()) != 1) {
    throw std::runtime_error("libpq: " + std::string(PQerrorMessage(conn_.get())));
  }
  ++round_trips_;
}

void PqPipeline::Answer(std::vector<std::int64_t>* first_column) {
  std::string error;
  for (;;) {
    Result r(PQgetResult(conn_.get()));
    if (!r) {
      if (PQstatus(conn_.get()) != CONNECTION_OK) {
        throw std::runtime_error("libpq: " + std::string(PQerrorMessage(conn_.get())));
      }
      continue;  // the end of one statement's results
    }
    const ExecStatusType status = PQresultStatus(r.get());
    if (status == PGRES_PIPELINE_SYNC) break;
    if (status == PGRES_FATAL_ERROR && error.empty()) error = PQresultErrorMessage(r.get());
    if (status == PGRES_TUPLES_OK && first_column) {
      for (int row = 0; row < PQntuples(r.get()); ++row) {
        first_column->push_back(std::stoll(PQgetvalue(r.get(), row, 0)));
      }
    }
  }
  if (!error.empty()) throw std::runtime_error("PostgreSQL: " + error);
}

}  // namespace tarvik::bench
