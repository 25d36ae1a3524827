// Waits for the server's answer made by this process's PostgreSQL backends:
// each one is a round trip, however many statements went out before it.
// The benchmarks divide it by the invoices made.
#pragma once

#include <cstdint>

namespace tarvik::data {

std::uint64_t PostgresRoundTrips();

}  // namespace tarvik::data
