#include "common/WireCodePage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>

#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

namespace {

bool IsAscii(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// Length of the well-formed UTF-8 sequence at text[i] (RFC 3629: no overlongs, no surrogates,
// nothing above U+10FFFF), or 0 when the bytes there are not one.
size_t Utf8SequenceLength(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u; };
  const unsigned lead = byte(0);
  const auto continuation = [&](size_t k, unsigned low = 0x80, unsigned high = 0xBF) {
    return byte(k) >= low && byte(k) <= high;
  };
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return continuation(1) ? 2 : 0;
  if (lead == 0xE0) return continuation(1, 0xA0) && continuation(2) ? 3 : 0;
  if (lead == 0xED) return continuation(1, 0x80, 0x9F) && continuation(2) ? 3 : 0;
  if (lead >= 0xE1 && lead <= 0xEF) return continuation(1) && continuation(2) ? 3 : 0;
  if (lead == 0xF0) return continuation(1, 0x90) && continuation(2) && continuation(3) ? 4 : 0;
  if (lead >= 0xF1 && lead <= 0xF3) return continuation(1) && continuation(2) && continuation(3) ? 4 : 0;
  if (lead == 0xF4) return continuation(1, 0x80, 0x8F) && continuation(2) && continuation(3) ? 4 : 0;
  return 0;
}

std::string HexByte(unsigned char c) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", c);
  return text;
}

// Raises unless the text is well-formed UTF-8.
void ValidateUtf8(std::string_view text, const char* what) {
  size_t character = 1;
  for (size_t i = 0; i < text.size(); ++character) {
    const size_t length = Utf8SequenceLength(text, i);
    if (length == 0)
      throw EConvertError(std::string(what) + ": invalid UTF-8 byte " + HexByte(static_cast<unsigned char>(text[i])) +
                          " at character " + IntToStr(static_cast<int64_t>(character)) + " (byte offset " +
                          IntToStr(static_cast<int64_t>(i)) + ")");
    i += length;
  }
}

uint32_t DecodeUtf8(std::string_view text, size_t i, size_t length) {
  const auto b = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(text[i + k])); };
  switch (length) {
    case 1: return b(0);
    case 2: return (b(0) & 0x1F) << 6 | (b(1) & 0x3F);
    case 3: return (b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F);
    default: return (b(0) & 0x07) << 18 | (b(1) & 0x3F) << 12 | (b(2) & 0x3F) << 6 | (b(3) & 0x3F);
  }
}

// An iconv descriptor per thread and direction: iconv_t is not safe to share between threads,
// and opening one per call would cost more than most conversions.
class TIconv {
 public:
  TIconv(const char* to, const char* from) : FHandle(iconv_open(to, from)) {
    if (FHandle == reinterpret_cast<iconv_t>(-1))
      throw EConvertError(std::string("No conversion from ") + from + " to " + to + " on this system");
  }
  ~TIconv() { iconv_close(FHandle); }
  TIconv(const TIconv&) = delete;
  TIconv& operator=(const TIconv&) = delete;

  // Converts all of input; on an unconvertible or invalid sequence answers its byte offset.
  std::optional<size_t> Convert(std::string_view input, std::string& output) {
    iconv(FHandle, nullptr, nullptr, nullptr, nullptr);
    output.resize(input.size() * 2 + 8);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    size_t produced = 0;
    while (true) {
      char* out = output.data() + produced;
      size_t outLeft = output.size() - produced;
      const size_t result = iconv(FHandle, &in, &inLeft, &out, &outLeft);
      produced = static_cast<size_t>(out - output.data());
      if (result != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) {
        output.resize(output.size() * 2);
        continue;
      }
      return static_cast<size_t>(in - input.data());
    }
    output.resize(produced);
    return std::nullopt;
  }

 private:
  iconv_t FHandle;
};

TIconv& Utf8ToGbk() {
  thread_local TIconv converter("GBK", "UTF-8");
  return converter;
}

TIconv& GbkToUtf8() {
  thread_local TIconv converter("UTF-8", "GBK");
  return converter;
}

}  // namespace

const char* WireCodePageName(TWireCodePage codePage) { return codePage == TWireCodePage::GBK ? "GBK" : "UTF-8"; }

std::optional<TWireCodePage> WireCodePageFromName(std::string_view name) {
  if (SameText(name, "GBK")) return TWireCodePage::GBK;
  if (SameText(name, "UTF-8") || SameText(name, "UTF8")) return TWireCodePage::UTF8;
  return std::nullopt;
}

std::string ToWireText(std::string_view utf8, TWireCodePage codePage) {
  if (IsAscii(utf8)) return std::string(utf8);
  ValidateUtf8(utf8, "Text for the wire");
  if (codePage == TWireCodePage::UTF8) return std::string(utf8);

  std::string wire;
  const std::optional<size_t> failedAt = Utf8ToGbk().Convert(utf8, wire);
  if (!failedAt) return wire;
  // The input is valid UTF-8, so iconv stopped at a character that GBK has no code for.
  size_t character = 1;
  for (size_t i = 0; i < *failedAt; ++character) i += Utf8SequenceLength(utf8, i);
  char codePoint[16];
  std::snprintf(codePoint, sizeof codePoint, "U+%04X",
                DecodeUtf8(utf8, *failedAt, Utf8SequenceLength(utf8, *failedAt)));
  throw EConvertError(std::string("The character ") + codePoint + " at character " +
                      IntToStr(static_cast<int64_t>(character)) + " (byte offset " +
                      IntToStr(static_cast<int64_t>(*failedAt)) + ") cannot be represented in code page GBK");
}

std::string FromWireText(std::string_view wire, TWireCodePage codePage) {
  if (IsAscii(wire)) return std::string(wire);
  if (codePage == TWireCodePage::UTF8) {
    ValidateUtf8(wire, "Text from the wire");
    return std::string(wire);
  }
  std::string utf8;
  if (const std::optional<size_t> failedAt = GbkToUtf8().Convert(wire, utf8))
    throw EConvertError("Text from the wire: invalid GBK byte " + HexByte(static_cast<unsigned char>(wire[*failedAt])) +
                        " at byte offset " + IntToStr(static_cast<int64_t>(*failedAt)));
  return utf8;
}
