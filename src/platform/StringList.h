// A plain string list after the desktop class library's: an ordered, unsorted sequence of
// texts that keeps duplicates.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class TStringList {
 public:
  void Add(std::string_view text) { FItems.emplace_back(text); }
  void Clear() { FItems.clear(); }
  void Delete(int index) { FItems.erase(FItems.begin() + index); }
  int Count() const { return static_cast<int>(FItems.size()); }
  const std::string& operator[](int index) const { return FItems.at(static_cast<size_t>(index)); }
  // The index of the first exact match, or -1.
  int IndexOf(std::string_view text) const {
    for (size_t i = 0; i < FItems.size(); ++i)
      if (FItems[i] == text) return static_cast<int>(i);
    return -1;
  }
  const std::vector<std::string>& Items() const { return FItems; }

 private:
  std::vector<std::string> FItems;
};
