// TIniFile: an INI file with the semantics of the Windows private-profile functions. The file is
// read afresh for every read and rewritten for every write; nothing is cached. Section and key
// names match without regard to ASCII case; values are trimmed of blanks. A default applies only
// to an absent key. Writing keeps every other line of the file as it was; a file that cannot be
// written raises Exception "Unable to write to <path>", and an absent file reads as empty.
#pragma once

#include <cstdint>
#include <string>

class TIniFile {
 public:
  explicit TIniFile(std::string fileName) : FFileName(std::move(fileName)) {}

  std::string ReadString(const std::string& section, const std::string& key, const std::string& defaultValue) const;
  // The value read with the platform's integer rules (StrToIntDef); text that does not convert,
  // the empty text included, gives the default.
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t defaultValue) const;
  void WriteString(const std::string& section, const std::string& key, const std::string& value) const;
  void WriteInteger(const std::string& section, const std::string& key, int32_t value) const;

  const std::string& FileName() const { return FFileName; }

 private:
  std::string FFileName;
};
