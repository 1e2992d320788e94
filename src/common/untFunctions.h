// Small routines shared by the remote client, the facade and the shell: the program's folder,
// time stamps for file names, the dotted-quad check, the two standard message boxes and the
// text splitter. The payload codec of the same module lives in PayloadCodec.h. The routines
// keep no state; the message boxes are for the GUI thread.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "common/PayloadCodec.h"
#include "platform/StringList.h"

// The folder of the running executable, ending with '/'. The flag asks for the module's own
// file, which for an executable is the executable.
std::string AppFolder(bool preferModuleFile = true);

// Local time as "hhnnss" (24-hour clock) and local date as "yyyymmdd"; each reads the clock once.
std::string TimeStamp();
std::string DateStamp();
std::string TimeStamp(const std::tm& time);
std::string DateStamp(const std::tm& time);

// True for exactly four dot-separated parts of ASCII digits, each 0..255 in decimal (leading
// zeros allowed). No blanks are tolerated. An empty part or an overlong one is simply false.
bool IsIPv4Address(std::string_view text);

inline int IfThenInt(bool condition, int whenTrue, int whenFalse) { return condition ? whenTrue : whenFalse; }
inline std::string IfThenStr(bool condition, std::string whenTrue, std::string whenFalse) {
  return condition ? std::move(whenTrue) : std::move(whenFalse);
}

// The error box: caption "Error", one OK button; returns when closed.
void ShowError(std::string_view message);
// The information box, then the silent abort (EAbort).
[[noreturn]] void ShowInfoAndAbort(std::string_view message);

// Clears the list, then appends the pieces of text between delimiters in order, empty pieces
// included. A last piece with no byte above 32 is dropped. A longer delimiter is matched as a
// whole; an empty one splits nothing.
void SplitString(std::string_view text, TStringList& list, std::string_view delimiter);
