#include "common/IniFiles.h"

#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

namespace {

struct TLines {
  std::vector<std::string> Lines;
  std::string Ending = "\r\n";  // a new file gets the platform's line ends
};

TLines ReadLines(const std::string& fileName) {
  TLines file;
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return file;
  std::stringstream content;
  content << in.rdbuf();
  const std::string text = content.str();
  if (text.find('\n') != std::string::npos && text.find("\r\n") == std::string::npos) file.Ending = "\n";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    file.Lines.push_back(std::move(line));
    start = end + 1;
  }
  return file;
}

// "[name]" gives name; nullopt for any other line.
std::optional<std::string> SectionOf(const std::string& line) {
  const std::string trimmed = Trim(line);
  if (trimmed.size() < 2 || trimmed.front() != '[') return std::nullopt;
  const size_t close = trimmed.find(']');
  if (close == std::string::npos) return std::nullopt;
  return Trim(trimmed.substr(1, close - 1));
}

// "key=value" gives key and value, trimmed; nullopt for comments and other lines.
std::optional<std::pair<std::string, std::string>> EntryOf(const std::string& line) {
  const std::string trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
  const size_t equals = trimmed.find('=');
  if (equals == std::string::npos) return std::nullopt;
  return std::make_pair(Trim(trimmed.substr(0, equals)), Trim(trimmed.substr(equals + 1)));
}

// The line index of the key in the section, or nullopt; sectionEnd receives where the section's
// last entry is (or its header), or nullopt when the section is absent.
std::optional<size_t> Find(const TLines& file, const std::string& section, const std::string& key,
                           std::optional<size_t>* sectionEnd = nullptr) {
  bool inSection = false;
  for (size_t i = 0; i < file.Lines.size(); ++i) {
    if (const auto name = SectionOf(file.Lines[i])) {
      inSection = SameText(*name, section);
      if (inSection && sectionEnd) *sectionEnd = i;
      continue;
    }
    if (!inSection) continue;
    const auto entry = EntryOf(file.Lines[i]);
    if (!entry) continue;
    if (sectionEnd) *sectionEnd = i;
    if (SameText(entry->first, key)) return i;
  }
  return std::nullopt;
}

std::string Unquoted(std::string value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  const TLines file = ReadLines(FFileName);
  const auto at = Find(file, section, key);
  if (!at) return defaultValue;
  return Unquoted(EntryOf(file.Lines[*at])->second);
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key, int32_t defaultValue) const {
  const TLines file = ReadLines(FFileName);
  const auto at = Find(file, section, key);
  if (!at) return defaultValue;
  return StrToIntDef(EntryOf(file.Lines[*at])->second, defaultValue);
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) const {
  TLines file = ReadLines(FFileName);
  std::optional<size_t> sectionEnd;
  if (const auto at = Find(file, section, key, &sectionEnd)) {
    // The key keeps the spelling it has in the file.
    file.Lines[*at] = EntryOf(file.Lines[*at])->first + "=" + value;
  } else if (sectionEnd) {
    file.Lines.insert(file.Lines.begin() + static_cast<long>(*sectionEnd) + 1, key + "=" + value);
  } else {
    file.Lines.push_back("[" + section + "]");
    file.Lines.push_back(key + "=" + value);
  }
  std::string text;
  for (const std::string& line : file.Lines) text += line + file.Ending;
  std::ofstream out(FFileName, std::ios::binary | std::ios::trunc);
  out << text;
  out.flush();
  if (!out) throw Exception("Unable to write to " + FFileName);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) const {
  WriteString(section, key, IntToStr(value));
}
