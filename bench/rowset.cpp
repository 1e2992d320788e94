// Loading a 1 000 000-row ReportType result from its XML bytes into a recordset, and saving it
// back, beside pugixml parsing and walking the same bytes. Reports throughput, the load's peak
// resident memory above the document itself, and the loaded recordset's own memory.
//
//   bench_rowset [rows]        (default 1000000)
#include <pugixml.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "ResultXml.h"
#include "data/RowsetXml.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

long StatusKiB(const char* key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::string(key).size()));
  return -1;
}

// Resets the peak resident size (VmHWM) to the current one.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

template <typename Work>
double Best(int runs, Work work) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    work();
    best = std::min(best, Seconds(start));
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t rows = argc > 1 ? std::atoll(argv[1]) : 1000000;
  std::string xml = bench::ReportTypeXmlRows(rows);
  const double mb = static_cast<double>(xml.size()) / 1e6;
  std::printf("document: %lld rows, %.1f MB\n", static_cast<long long>(rows), mb);

  // Peak and size first, in a clean state: the document is resident, nothing else.
  {
    ResetPeak();
    const long before = StatusKiB("VmRSS:");
    const auto start = Clock::now();
    auto recordset = ReadRowsetXml(xml);
    const double seconds = Seconds(start);
    const long peak = StatusKiB("VmHWM:");
    const double datasetMB = static_cast<double>(recordset->MemoryUsed()) / 1e6;
    std::printf(
        "load:        %.3f s, %.0f MB/s; peak resident with the document %.0f MB (%.2f x document); "
        "recordset %.0f MB (%.2f x document)\n",
        seconds, mb / seconds, (static_cast<double>(peak) * 1024 / 1e6), static_cast<double>(peak) * 1024 / 1e6 / mb,
        datasetMB, datasetMB / mb);
    (void)before;
  }

  const double load = Best(3, [&] { auto recordset = ReadRowsetXml(xml); });
  std::printf("load (best of 3):   %.3f s, %.0f MB/s\n", load, mb / load);

  const double pugi = Best(3, [&] {
    pugi::xml_document document;
    document.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8);
    size_t attributes = 0;
    for (pugi::xml_node row : document.first_child().child("rs:data"))
      for (pugi::xml_attribute attribute : row.attributes()) attributes += attribute.value()[0] != 0;
    if (attributes == 0) std::puts("pugixml found nothing");
  });
  std::printf("pugixml parse+walk: %.3f s, %.0f MB/s\n", pugi, mb / pugi);

  auto recordset = ReadRowsetXml(xml);
  std::string saved;
  const double save = Best(3, [&] {
    std::string fresh;
    WriteRowsetXml(*recordset, fresh);
    saved.swap(fresh);
  });
  std::printf("save (best of 3):   %.3f s, %.0f MB/s of XML written\n", save,
              static_cast<double>(saved.size()) / 1e6 / save);
  return 0;
}
