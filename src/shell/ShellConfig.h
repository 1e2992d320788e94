// "Keldrin.ini" beside the executable: the address and port of the database service, read by
// the connect sequence and read and written by the settings window. Nothing of it is cached.
#pragma once

#include <cstdint>

#include "common/IniFiles.h"
#include "common/untFunctions.h"

namespace config {

inline constexpr const char* kSection = "ServerConfig";
inline constexpr const char* kServerName = "ServerName";
inline constexpr const char* kPort = "Port";
inline constexpr const char* kDefaultServerName = "127.0.0.1";
inline constexpr int32_t kDefaultPort = 211;

inline TIniFile File() { return TIniFile(AppFolder() + "Keldrin.ini"); }

}  // namespace config
