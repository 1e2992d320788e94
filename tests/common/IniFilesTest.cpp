#include "common/IniFiles.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Exceptions.h"

namespace {

class IniFile : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(Folder); }
  void TearDown() override { std::filesystem::remove_all(Folder); }

  void Write(const std::string& text) { std::ofstream(Path, std::ios::binary) << text; }
  std::string Read() {
    std::ifstream in(Path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::filesystem::path Folder = std::filesystem::temp_directory_path() / ("zz_ini_" + std::to_string(::getpid()));
  std::string Path = (Folder / "Keldrin.ini").string();
  TIniFile Ini{Path};
};

TEST_F(IniFile, ReadsWithThePrivateProfileRules) {
  const struct {
    const char* file;
    const char* server;
    int32_t port;
  } cases[] = {
      {nullptr, "127.0.0.1", 211},  // no file: the defaults
      {"[ServerConfig]\r\nServerName=db01\r\nPort=8080\r\n", "db01", 8080},
      {"[serverconfig]\nSERVERNAME =  db02  \nport= 9000\n", "db02", 9000},  // any case, trimmed
      {"[ServerConfig]\r\nServerName=\r\nPort=\r\n", "", 211},               // present but empty
      {"[ServerConfig]\r\nPort=abc\r\n", "127.0.0.1", 211},                  // letters: the default
      {"[ServerConfig]\r\nPort=80a\r\n", "127.0.0.1", 211},                  // trailing letters too
      {"[ServerConfig]\r\nPort=$1F90\r\n", "127.0.0.1", 8080},               // hexadecimal
      {"[Other]\r\nServerName=elsewhere\r\n[ServerConfig]\r\n;ServerName=commented\r\n", "127.0.0.1", 211},
      {"[ServerConfig]\r\nServerName=\"quoted name\"\r\n", "quoted name", 211},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(Path);
    if (c.file) Write(c.file);
    EXPECT_EQ(Ini.ReadString("ServerConfig", "ServerName", "127.0.0.1"), c.server) << (c.file ? c.file : "no file");
    EXPECT_EQ(Ini.ReadInteger("ServerConfig", "Port", 211), c.port) << (c.file ? c.file : "no file");
  }
}

TEST_F(IniFile, WritesKeepingEveryOtherLine) {
  Ini.WriteString("ServerConfig", "ServerName", "db01");
  Ini.WriteInteger("ServerConfig", "Port", 8080);
  EXPECT_EQ(Read(), "[ServerConfig]\r\nServerName=db01\r\nPort=8080\r\n");

  Write("; settings\n[Other]\nA=1\n\n[ServerConfig]\nport=9000\nX=y\n[Last]\nB=2\n");
  Ini.WriteInteger("ServerConfig", "Port", 211);          // the same entry, its spelling kept
  Ini.WriteString("ServerConfig", "ServerName", "host");  // a new key joins its section
  EXPECT_EQ(Read(), "; settings\n[Other]\nA=1\n\n[ServerConfig]\nport=211\nX=y\nServerName=host\n[Last]\nB=2\n");
  EXPECT_EQ(Ini.ReadInteger("ServerConfig", "PORT", 0), 211);
}

TEST_F(IniFile, SaysWhichFileItCouldNotWrite) {
  std::filesystem::create_directories(Path);  // a folder where the file should be
  try {
    Ini.WriteString("ServerConfig", "Port", "1");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "Unable to write to " + Path);
  }
}

}  // namespace
