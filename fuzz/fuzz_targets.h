// Fuzz targets: each takes one input, runs the code under test on it and
// checks the invariants that must hold for every input. Shared by the
// libFuzzer programs (fuzzer_main.cpp) and the corpus replay test.
#pragma once

#include <stdexcept>
#include <string_view>

#include "data/dialect.h"

namespace tarvik::fuzz {

// A broken invariant. The libFuzzer entry turns it into an abort (a crash
// report with the input); the replay test reports it as a failure.
struct InvariantBroken : std::logic_error {
  using std::logic_error::logic_error;
};

// The classic-dialect translator, for both backends: only AutomationError may
// escape; '...' strings, "..." identifiers and comments come out unchanged
// and in order; every date literal becomes a string of its own; no '#' (or,
// for PostgreSQL, '?') is left in code; translating again changes nothing.
void ClassicDialectTarget(std::string_view input);

// ParseNumber / ParseDate: a value parsed, formatted and parsed again gives
// the same text and (where the format keeps every digit) the same value.
void RegionalTarget(std::string_view input);

// The script driver's line handling: one reply per non-blank line, each a
// JSON object with "ok" and, on failure, an error number and description.
// Lines with "open" or "create" are dropped (they touch files and libraries).
void ScriptLinesTarget(std::string_view input);

// The script driver's bounds: a line nested around the input (or the input
// repeated past the line limit) is answered once; nothing nested past the
// depth limit is accepted; an overlong line is refused without being quoted;
// the line after it is still answered.
void ScriptLimitsTarget(std::string_view input);

// The conversion helpers on texts, numbers, dates and Null: only their
// documented errors escape; numbers stay finite and in range; a text
// literal is the text with quotes doubled (Null for the empty text); every
// literal, put into a statement and translated for either backend, stays
// one string with no ';' in the code around it.
void FieldConversionTarget(std::string_view input);

// Literal values as parameters: a type per value; a text with none left
// whole; the values put back where their markers stand split into the same
// shape and values; the shape translates for either backend exactly when the
// literal text did.
void LiteralParametersTarget(std::string_view input);

// The check ClassicDialectTarget makes on one translation; throws
// InvariantBroken. Public so that its own tests can feed it bad pairs.
void CheckTranslation(std::string_view input, std::string_view output, data::Dialect target);

struct Target {
  const char* name;  // also the folder of its seed corpus
  void (*run)(std::string_view input);
};

inline constexpr Target kTargets[] = {
    {"classic_dialect", &ClassicDialectTarget},
    {"regional", &RegionalTarget},
    {"script_lines", &ScriptLinesTarget},
    {"script_limits", &ScriptLimitsTarget},
    {"field_conversion", &FieldConversionTarget},
    {"literal_parameters", &LiteralParametersTarget},
};

}  // namespace tarvik::fuzz
