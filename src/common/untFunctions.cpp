#include "common/untFunctions.h"

#include <limits.h>
#include <unistd.h>

#include <cstdint>

#include "platform/Dialogs.h"
#include "platform/Exceptions.h"

std::string AppFolder(bool /*preferModuleFile*/) {
  // This system is always an executable, so the module's file and the executable coincide.
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "./";
  const std::string_view full(path, static_cast<size_t>(length));
  return std::string(full.substr(0, full.rfind('/') + 1));
}

namespace {

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

std::string Stamp(const char* pattern, const std::tm& time) {
  char text[32];
  const size_t length = std::strftime(text, sizeof text, pattern, &time);
  return std::string(text, length);
}

}  // namespace

std::string TimeStamp(const std::tm& time) { return Stamp("%H%M%S", time); }
std::string DateStamp(const std::tm& time) { return Stamp("%Y%m%d", time); }
std::string TimeStamp() { return TimeStamp(LocalNow()); }
std::string DateStamp() { return DateStamp(LocalNow()); }

bool IsIPv4Address(std::string_view text) {
  int dots = 0;
  uint32_t parts[4] = {0, 0, 0, 0};
  bool partHasDigits[4] = {false, false, false, false};
  for (const char c : text) {
    if (c == '.') {
      if (++dots > 3) return false;
    } else if (c >= '0' && c <= '9') {
      uint32_t& part = parts[dots];
      part = part * 10 + static_cast<uint32_t>(c - '0');
      if (part > 255) return false;
      partHasDigits[dots] = true;
    } else {
      return false;
    }
  }
  if (dots != 3) return false;
  for (const bool hasDigits : partHasDigits)
    if (!hasDigits) return false;
  return true;
}

void ShowError(std::string_view message) { MessageDlg(TMsgDlgType::mtError, "Error", message); }

void ShowInfoAndAbort(std::string_view message) {
  MessageDlg(TMsgDlgType::mtInformation, "Information", message);
  Abort();
}

void SplitString(std::string_view text, TStringList& list, std::string_view delimiter) {
  list.Clear();
  std::string_view rest = text;
  if (!delimiter.empty()) {
    for (size_t at = rest.find(delimiter); at != std::string_view::npos; at = rest.find(delimiter)) {
      list.Add(rest.substr(0, at));
      rest.remove_prefix(at + delimiter.size());
    }
  }
  for (const char c : rest) {
    if (static_cast<unsigned char>(c) > 32) {
      list.Add(rest);
      break;
    }
  }
}
