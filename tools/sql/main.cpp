// zuzavezu-sql: runs statements and queries against a zuzavezu database service from the
// command line, over the client's own connection library.
//
//   zuzavezu-sql [--host NAME] [--port N] [--code-page GBK|UTF-8] [--json] SQL...
//
// Each SQL argument that starts with "select" (any case) is opened as a query and printed (CSV
// by default); any other is run as a statement and prints the rows it changed. The first
// failure prints the server's message and ends with status 1.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "RowsetExport.h"
#include "platform/SysUtils.h"
#include "remote/UntRemSql.h"

namespace {

int Usage() {
  std::fputs("usage: zuzavezu-sql [--host NAME] [--port N] [--code-page GBK|UTF-8] [--json] SQL...\n", stderr);
  return 2;
}

bool IsQuery(const std::string& sql) {
  const std::string text = Trim(sql);
  return text.size() >= 6 && SameText(text.substr(0, 6), "select");
}

}  // namespace

int main(int argc, char** argv) {
  std::string host = "127.0.0.1";
  int32_t port = 211;
  bool json = false;
  TWireCodePage codePage = TWireCodePage::GBK;
  std::vector<std::string> statements;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--host" && i + 1 < argc) host = argv[++i];
    else if (option == "--port" && i + 1 < argc) port = StrToIntDef(argv[++i], -1);
    else if (option == "--json") json = true;
    else if (option == "--code-page" && i + 1 < argc) {
      const auto parsed = WireCodePageFromName(argv[++i]);
      if (!parsed) return Usage();
      codePage = *parsed;
    } else if (option.starts_with("--")) return Usage();
    else statements.push_back(option);
  }
  if (statements.empty() || port <= 0 || port > 65535) return Usage();

  TRmoHelper helper(static_cast<uint16_t>(port));
  helper.Client->CodePage = codePage;
  if (!helper.ConnectServer(host, port)) {
    std::fprintf(stderr, "zuzavezu-sql: cannot connect to %s:%d\n", host.c_str(), port);
    return 1;
  }
  for (const std::string& sql : statements) {
    try {
      if (IsQuery(sql)) {
        TADOQuery query;
        helper.OpenQuery(query, sql);
        if (!query.Recordset()) continue;
        json ? WriteJson(*query.Recordset(), std::cout) : WriteCsv(*query.Recordset(), std::cout);
      } else {
        std::cout << helper.Client->ExecSQL(sql) << " row(s) changed\n";
      }
    } catch (const std::exception& e) {
      std::cout.flush();
      std::fprintf(stderr, "zuzavezu-sql: %s\n", e.what());
      return 1;
    }
  }
  std::cout.flush();
  return 0;
}
