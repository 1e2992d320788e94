// Result-like test data for the benchmarks: an XML rowset of the ReportType table (15 columns),
// as the service sends it, with deterministic contents so that runs compare.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace bench {

// A complete XML rowset document of about targetBytes bytes (whole rows, so slightly more).
std::string ReportTypeXml(size_t targetBytes);
// A document of exactly rows rows.
std::string ReportTypeXmlRows(int64_t rows);

}  // namespace bench
