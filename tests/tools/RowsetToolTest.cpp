// zuzavezu-rowset run as a program on files it is given.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>

#include "data/DateTime.h"
#include "data/RowsetXml.h"

namespace {

struct TRun {
  int Status;
  std::string Output;
};

TRun RunTool(const std::string& arguments) {
  const std::string command = std::string(ROWSET_TOOL) + " " + arguments + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  std::string output;
  char chunk[4096];
  while (size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, n);
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

class RowsetTool : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(Folder);
    TRecordset recordset({{"ID", ftInteger},
                          {"Name, \"quoted\"", ftWideString, 20},
                          {"B", ftBoolean},
                          {"F", ftFloat},
                          {"C", ftCurrency},
                          {"N", ftBCD, 2, 10},
                          {"DT", ftDateTime},
                          {"D", ftDate},
                          {"T", ftTime},
                          {"BL", ftBlob},
                          {"L", ftLargeint}});
    recordset.InsertRow(
        0, {TCellValue{int64_t{1}}, TCellValue{std::string("中文 \"q\", x\ny")}, TCellValue{int64_t{1}},
            TCellValue{2.5}, TCellValue{int64_t{125000}}, TCellValue{std::string("-3.10")},
            TCellValue{EncodeDateTime({2024, 3, 5, 19, 5, 9, 7})}, TCellValue{EncodeDateTime({2024, 3, 5})},
            TCellValue{EncodeDateTime({1899, 12, 30, 7, 8, 9})}, TCellValue{std::string("\x01\xAB", 2)},
            TCellValue{int64_t{-9007199254740993}}});
    recordset.InsertRow(1, std::vector<TCellValue>(11));
    std::string document;
    WriteRowsetXml(recordset, document);
    std::ofstream(File, std::ios::binary) << document;
  }
  void TearDown() override { std::filesystem::remove_all(Folder); }

  std::filesystem::path Folder = std::filesystem::temp_directory_path() / ("zz_tool_" + std::to_string(::getpid()));
  std::string File = (Folder / "result").string();
};

TEST_F(RowsetTool, PrintsJson) {
  const TRun run = RunTool("--json " + File);
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(
      run.Output,
      "{\"columns\": [{\"name\": \"ID\", \"type\": 3, \"size\": 0}, {\"name\": \"Name, \\\"quoted\\\"\", \"type\": 24, "
      "\"size\": 20}, {\"name\": \"B\", \"type\": 5, \"size\": 0}, {\"name\": \"F\", \"type\": 6, \"size\": 0}, "
      "{\"name\": \"C\", \"type\": 7, \"size\": 0}, {\"name\": \"N\", \"type\": 8, \"size\": 2}, {\"name\": \"DT\", "
      "\"type\": 11, \"size\": 0}, {\"name\": \"D\", \"type\": 9, \"size\": 0}, {\"name\": \"T\", \"type\": 10, "
      "\"size\": 0}, {\"name\": \"BL\", \"type\": 15, \"size\": 0}, {\"name\": \"L\", \"type\": 25, \"size\": 0}], "
      "\"rows\": [\n  [1, \"中文 \\\"q\\\", x\\ny\", true, 2.5, 12.5, -3.10, \"2024-03-05T19:05:09.007\", "
      "\"2024-03-05\", \"07:08:09.000\", \"01ab\", -9007199254740993],\n"
      "  [null, null, null, null, null, null, null, null, null, null, null]\n]}\n");
}

TEST_F(RowsetTool, PrintsCsvWithAHeader) {
  const TRun run = RunTool("--csv " + File);
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Output,
            "ID,\"Name, \"\"quoted\"\"\",B,F,C,N,DT,D,T,BL,L\r\n"
            "1,\"中文 \"\"q\"\", x\ny\",true,2.5,12.5,-3.10,2024-03-05T19:05:09.007,2024-03-05,07:08:09.000,01ab,"
            "-9007199254740993\r\n"
            ",,,,,,,,,,\r\n");
}

TEST_F(RowsetTool, FailsWithTheLoadersError) {
  std::ofstream(File) << "<xml><rs:data>";
  TRun run = RunTool("--json " + File);
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Output.find("Malformed XML"), std::string::npos) << run.Output;
  run = RunTool("--csv " + (Folder / "missing").string());
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Output.find("Cannot open file"), std::string::npos) << run.Output;
  EXPECT_EQ(RunTool("--xml " + File).Status, 2);
}

}  // namespace
