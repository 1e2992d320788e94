// Conversion of texts where they enter and leave the wire. Inside the process every text is
// UTF-8; on the wire it is in the wire code page, GBK unless set otherwise, and its length is
// counted in bytes of that encoding. Safe to call from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

enum class TWireCodePage { GBK, UTF8 };

// "GBK" or "UTF-8".
const char* WireCodePageName(TWireCodePage codePage);
// Accepts the names above without regard to case, and "UTF8".
std::optional<TWireCodePage> WireCodePageFromName(std::string_view name);

// UTF-8 to the wire code page. Raises EConvertError naming the position of a character that the
// code page cannot hold, or of a byte that is not valid UTF-8.
std::string ToWireText(std::string_view utf8, TWireCodePage codePage);
// The wire code page to UTF-8. Raises EConvertError naming the offset of an invalid byte.
std::string FromWireText(std::string_view wire, TWireCodePage codePage);
