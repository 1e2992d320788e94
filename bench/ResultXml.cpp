#include "ResultXml.h"

#include <cstdio>

namespace bench {

namespace {

constexpr const char* kHeader =
    "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'\n"
    "\txmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\n"
    "\txmlns:rs='urn:schemas-microsoft-com:rowset'\n"
    "\txmlns:z='#RowsetSchema'>\n"
    "<s:Schema id='RowsetSchema'>\n"
    "\t<s:ElementType name='row' content='eltOnly' rs:updatable='true'>\n";

struct TColumn {
  const char* name;
  const char* type;  // dt:type
  int maxLength;
};

constexpr TColumn kColumns[] = {
    {"ID", "string", 44},
    {"TREEID", "string", 44},
    {"FNUMBER", "string", 100},
    {"REPORTTYPENAME", "string", 100},
    {"FPARENTID", "string", 44},
    {"FISROOT", "int", 4},
    {"FIMGAGEINDEX", "int", 4},
    {"FSELECTIMGAGEINDEX", "int", 4},
    {"FISSYSTEM", "int", 4},
    {"FLEVEL", "float", 8},
    {"FVISIBLE", "int", 4},
    {"FTABLENAME", "string", 200},
    {"FCREATORID", "string", 44},
    {"FLASTUPDATEUSERID", "string", 44},
    {"FLONGNUMBER", "string", 2400},
};

std::string Schema() {
  std::string schema = kHeader;
  int number = 1;
  for (const TColumn& column : kColumns) {
    char line[512];
    std::snprintf(line, sizeof line,
                  "\t\t<s:AttributeType name='%s' rs:number='%d' rs:nullable='true' rs:writeunknown='true'>\n"
                  "\t\t\t<s:datatype dt:type='%s' dt:maxLength='%d'/>\n\t\t</s:AttributeType>\n",
                  column.name, number++, column.type, column.maxLength);
    schema += line;
  }
  schema += "\t\t<s:extends type='rs:rowbase'/>\n\t</s:ElementType>\n</s:Schema>\n<rs:data>\n";
  return schema;
}

void AppendRow(std::string& xml, int64_t i) {
  static const char* const names[] = {"财务报表",     "Sales by region", "库存汇总", "Monthly P&amp;L",
                                      "应收账款明细", "Cash flow",       "成本分析", "Budget vs. actual"};
  const int64_t parent = i < 8 ? -1 : i / 8;
  const int level = i < 8 ? 1 : (i < 72 ? 2 : 3);
  char row[1024];
  std::snprintf(
      row, sizeof row,
      "\t<z:row ID='%lld' TREEID='%lld' FNUMBER='RT.%06lld' REPORTTYPENAME='%s %lld - 年度经营分析报表 (annual "
      "operating analysis)' FPARENTID='%lld'"
      " FISROOT='%d' FIMGAGEINDEX='%lld' FSELECTIMGAGEINDEX='%lld' FISSYSTEM='0' FLEVEL='%d'"
      " FVISIBLE='1' FTABLENAME='t_report_detail_%02lld' FCREATORID='administrator.finance' FLASTUPDATEUSERID='u%03lld'"
      " FLONGNUMBER='RT.%06lld.%06lld!RT.%06lld.%06lld!RT.%06lld.%06lld'/>\n",
      static_cast<long long>(i), static_cast<long long>(i), static_cast<long long>(i), names[i % 8],
      static_cast<long long>(i), static_cast<long long>(parent), parent == -1 ? 1 : 0, static_cast<long long>(i % 124),
      static_cast<long long>((i + 1) % 124), level, static_cast<long long>(i % 37), static_cast<long long>(i % 211),
      static_cast<long long>(parent), static_cast<long long>(i), static_cast<long long>(parent),
      static_cast<long long>(i), static_cast<long long>(parent), static_cast<long long>(i));
  xml += row;
}

constexpr const char* kFooter = "</rs:data>\n</xml>\n";

}  // namespace

std::string ReportTypeXml(size_t targetBytes) {
  std::string xml = Schema();
  xml.reserve(targetBytes + 1024);
  for (int64_t i = 0; xml.size() < targetBytes; ++i) AppendRow(xml, i);
  xml += kFooter;
  return xml;
}

std::string ReportTypeXmlRows(int64_t rows) {
  std::string xml = Schema();
  xml.reserve(static_cast<size_t>(rows) * 420 + 4096);
  for (int64_t i = 0; i < rows; ++i) AppendRow(xml, i);
  xml += kFooter;
  return xml;
}

}  // namespace bench
