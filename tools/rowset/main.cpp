// zuzavezu-rowset: prints a saved result file (an XML rowset) as JSON or CSV.
//
//   zuzavezu-rowset --json FILE
//   zuzavezu-rowset --csv FILE
//
// A file that cannot be loaded prints the loader's error and exits with status 1.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "RowsetExport.h"
#include "data/RowsetXml.h"
#include "platform/Streams.h"

namespace {

int Usage() {
  std::fputs(
      "usage: zuzavezu-rowset --json FILE\n       zuzavezu-rowset --csv FILE\n\n"
      "Prints a saved result file (XML rowset) as one JSON document\n"
      "{\"columns\": [{\"name\", \"type\", \"size\"}], \"rows\": [[...]]} or as CSV with a header line.\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "--json") != 0 && std::strcmp(argv[1], "--csv") != 0)) return Usage();
  try {
    TMemoryStream file;
    file.LoadFromFile(argv[2]);
    const auto recordset =
        ReadRowsetXml(std::string_view(reinterpret_cast<const char*>(file.Memory()), static_cast<size_t>(file.Size())));
    std::ios::sync_with_stdio(false);
    if (std::strcmp(argv[1], "--json") == 0)
      WriteJson(*recordset, std::cout);
    else
      WriteCsv(*recordset, std::cout);
    std::cout.flush();
    return std::cout ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zuzavezu-rowset: %s: %s\n", argv[2], e.what());
    return 1;
  }
}
