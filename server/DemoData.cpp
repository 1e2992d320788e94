#include "DemoData.h"

#include <string>
#include <vector>

#include "remote/WriteBackSql.h"

namespace server {

namespace {

struct TReportType {
  int Id;
  int Parent;  // -1 for the top level
  const char* Name;
  int Image;
};

// Three levels: areas, groups, reports.
const std::vector<TReportType> kReportTypes = {
    {1, -1, "财务报表", 1},         {2, -1, "销售报表", 2},          {3, -1, "Inventory", 3},
    {11, 1, "资产负债表", 10},      {12, 1, "利润表", 11},           {13, 1, "Cash flow", 12},
    {21, 2, "Sales by region", 20}, {22, 2, "客户分析", 21},         {31, 3, "库存汇总", 30},
    {32, 3, "Stock movements", 31}, {111, 11, "月度资产负债表", 40}, {112, 11, "Annual balance sheet", 41},
    {121, 12, "季度利润表", 42},    {211, 21, "华东区销售", 43},     {212, 21, "North region", 44},
    {311, 31, "仓库 A 库存", 45},
};

int LevelOf(const TReportType& type) {
  if (type.Parent == -1) return 1;
  for (const TReportType& parent : kReportTypes)
    if (parent.Id == type.Parent) return LevelOf(parent) + 1;
  return 1;
}

}  // namespace

void InitDemoData(TSqlBackend& backend) {
  using writeback::QuotedSqlText;
  backend.Execute(
      "DROP TABLE IF EXISTS T_Pm_User;"
      "CREATE TABLE T_Pm_User (ID INTEGER PRIMARY KEY, Fnumber VARCHAR(44), Fname_L2 VARCHAR(100), ReportPSWD "
      "VARCHAR(44));"
      "INSERT INTO T_Pm_User VALUES (1, '001', '管理员', 'admin');"
      "INSERT INTO T_Pm_User VALUES (2, '002', 'Demo User', 'demo');"
      "INSERT INTO T_Pm_User VALUES (3, '003', '张三', '');"
      "DROP TABLE IF EXISTS ReportType;"
      "CREATE TABLE ReportType (ID INTEGER PRIMARY KEY, TREEID VARCHAR(44), FNUMBER VARCHAR(100), "
      "REPORTTYPENAME VARCHAR(100), FPARENTID VARCHAR(44), FISROOT INTEGER, FIMGAGEINDEX INTEGER, "
      "FSELECTIMGAGEINDEX INTEGER, FISSYSTEM INTEGER, FLEVEL REAL, FVISIBLE INTEGER, FTABLENAME VARCHAR(200), "
      "FCREATORID VARCHAR(44), FLASTUPDATEUSERID VARCHAR(44), FLONGNUMBER VARCHAR(2400));");
  std::string inserts = "BEGIN;";
  for (const TReportType& type : kReportTypes) {
    const std::string id = std::to_string(type.Id);
    inserts += "INSERT INTO ReportType VALUES (" + id + ", '" + id + "', 'RT." + id + "', " + QuotedSqlText(type.Name) +
               ", '" + std::to_string(type.Parent) + "', " + (type.Parent == -1 ? "1" : "0") + ", " +
               std::to_string(type.Image) + ", " + std::to_string(type.Image) + ", 0, " +
               std::to_string(LevelOf(type)) + ", 1, 't_report_" + id + "', '001', '001', 'RT." + id + "');";
  }
  backend.Execute(inserts + "COMMIT;");
}

}  // namespace server
