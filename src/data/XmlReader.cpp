#include "data/XmlReader.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Name characters: ASCII letters, digits, "_-.:" and every byte of a multi-byte character.
bool IsNameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' || u == '-' ||
         u == '.' || u == ':' || u >= 0x80;
}

bool IsNameStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80;
}

bool IsXmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Expands the reference that starts at text[i] ('&') into out; answers its length, or 0 when
// it is not a well-formed reference to a defined entity or an allowed character.
size_t ExpandReference(std::string_view text, size_t i, std::string* out) {
  const size_t end = text.find(';', i);
  if (end == std::string_view::npos || end - i > 12) return 0;
  const std::string_view name = text.substr(i + 1, end - i - 1);
  char single = 0;
  if (name == "amp")
    single = '&';
  else if (name == "lt")
    single = '<';
  else if (name == "gt")
    single = '>';
  else if (name == "quot")
    single = '"';
  else if (name == "apos")
    single = '\'';
  if (single != 0) {
    if (out) *out += single;
    return end - i + 1;
  }
  if (name.size() < 2 || name[0] != '#') return 0;
  const bool hex = name[1] == 'x';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty()) return 0;
  uint32_t code = 0;
  for (const char c : digits) {
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return 0;
    code = code * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
    if (code > 0x10FFFF) return 0;
  }
  if (!IsXmlChar(code)) return 0;
  if (out) AppendUtf8(*out, code);
  return end - i + 1;
}

}  // namespace

std::string_view Utf8Document(std::string_view bytes, std::string& storage) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return bytes.substr(3);
  const bool littleEndian = bytes.starts_with("\xFF\xFE");
  if (!littleEndian && !bytes.starts_with("\xFE\xFF")) return bytes;
  storage.clear();
  storage.reserve(bytes.size());
  const auto unit = [&](size_t i) {
    const auto a = static_cast<uint8_t>(bytes[i]), b = static_cast<uint8_t>(bytes[i + 1]);
    return static_cast<uint32_t>(littleEndian ? (b << 8 | a) : (a << 8 | b));
  };
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    uint32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      throw ERowsetError("Invalid UTF-16 surrogate at byte offset " + std::to_string(i));
    }
    AppendUtf8(storage, c);
  }
  if (bytes.size() % 2 != 0) throw ERowsetError("Truncated UTF-16 document");
  return storage;
}

TXmlReader::TXmlReader(std::string_view document) : FDoc(document) {
  FBindings.push_back({"xml", kXmlNamespace});
  ReadProlog();
}

std::string TXmlReader::Where(size_t offset) const {
  offset = std::min(offset, FDoc.size());
  const size_t line = 1 + static_cast<size_t>(std::count(FDoc.begin(), FDoc.begin() + static_cast<long>(offset), '\n'));
  return "line " + std::to_string(line) + ", byte offset " + std::to_string(offset);
}

void TXmlReader::Fail(const std::string& what, size_t offset) const {
  throw ERowsetError("Malformed XML: " + what + " at " + Where(offset));
}

void TXmlReader::SkipSpace() {
  while (FPos < FDoc.size() && IsSpace(FDoc[FPos])) ++FPos;
}

void TXmlReader::ReadProlog() {
  if (FDoc.starts_with("<?xml") && FDoc.size() > 5 && IsSpace(FDoc[5])) {
    const size_t end = FDoc.find("?>");
    if (end == std::string_view::npos) Fail("unterminated XML declaration", 0);
    const std::string_view declaration = FDoc.substr(0, end);
    const size_t encoding = declaration.find("encoding");
    if (encoding != std::string_view::npos) {
      const size_t quote = declaration.find_first_of("'\"", encoding);
      const size_t close = quote == std::string_view::npos ? quote : declaration.find(declaration[quote], quote + 1);
      if (close == std::string_view::npos) Fail("bad encoding in the XML declaration", encoding);
      std::string name(declaration.substr(quote + 1, close - quote - 1));
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      // A converted UTF-16 document keeps its declaration; its bytes are UTF-8 by now.
      if (name != "utf-8" && name != "utf8" && name != "utf-16" && name != "us-ascii")
        throw ERowsetError("Unsupported document encoding '" +
                           std::string(declaration.substr(quote + 1, close - quote - 1)) +
                           "' (UTF-8 and UTF-16 are read)");
    }
    FPos = end + 2;
  }
}

void TXmlReader::SkipMarkup() {
  const std::string_view rest = FDoc.substr(FPos);
  std::string_view terminator;
  if (rest.starts_with("<!--"))
    terminator = "-->";
  else if (rest.starts_with("<?"))
    terminator = "?>";
  else if (rest.starts_with("<![CDATA[")) {
    if (FOpen.empty()) Fail("character data outside the root element", FPos);
    terminator = "]]>";
  } else if (rest.starts_with("<!DOCTYPE")) {
    Fail("document type declarations are not supported", FPos);
  } else {
    Fail("unknown markup", FPos);
  }
  const size_t end = FDoc.find(terminator, FPos + 2);
  if (end == std::string_view::npos) Fail("unterminated markup", FPos);
  FPos = end + terminator.size();
}

void TXmlReader::CheckText(size_t from, size_t to, bool outsideRoot) const {
  for (size_t i = from; i < to; ++i) {
    const char c = FDoc[i];
    if (outsideRoot && !IsSpace(c)) Fail("text outside the root element", i);
    if (c == '&' && ExpandReference(FDoc, i, nullptr) == 0) Fail("bad entity or character reference", i);
  }
}

std::string_view TXmlReader::ReadName() {
  const size_t start = FPos;
  if (FPos >= FDoc.size() || !IsNameStart(FDoc[FPos])) Fail("a name was expected", FPos);
  while (FPos < FDoc.size() && IsNameChar(FDoc[FPos])) ++FPos;
  return FDoc.substr(start, FPos - start);
}

std::string_view TXmlReader::Resolve(std::string_view prefix, size_t offset) const {
  for (auto it = FBindings.rbegin(); it != FBindings.rend(); ++it)
    if (it->Prefix == prefix) return it->Uri;
  if (prefix.empty()) return {};
  Fail("undeclared namespace prefix '" + std::string(prefix) + "'", offset);
}

namespace {

void SplitQName(std::string_view qname, std::string_view& prefix, std::string_view& local) {
  const size_t colon = qname.find(':');
  if (colon == std::string_view::npos) {
    prefix = {};
    local = qname;
  } else {
    prefix = qname.substr(0, colon);
    local = qname.substr(colon + 1);
  }
}

}  // namespace

TXmlReader::TToken TXmlReader::Next() {
  if (FPendingEnd) {
    FPendingEnd = false;
    FBindings.resize(FOpen.back().Bindings);
    FOpen.pop_back();
    if (FOpen.empty()) FRootClosed = true;
    return TToken::EndElement;
  }
  while (true) {
    const size_t lt = FDoc.find('<', FPos);
    const size_t textEnd = lt == std::string_view::npos ? FDoc.size() : lt;
    if (textEnd > FPos) CheckText(FPos, textEnd, FOpen.empty());
    FPos = textEnd;
    if (lt == std::string_view::npos) {
      if (!FOpen.empty()) Fail("the document ends inside element '" + std::string(FOpen.back().QName) + "'", FPos);
      if (!FRootSeen) Fail("no root element", FPos);
      return TToken::EndOfDocument;
    }
    if (lt + 1 >= FDoc.size()) Fail("the document ends inside a tag", lt);
    const char next = FDoc[lt + 1];
    if (next == '!' || next == '?') {
      SkipMarkup();
      continue;
    }
    if (next == '/') {
      ReadEndTag();
      return TToken::EndElement;
    }
    if (FRootClosed) Fail("a second root element", lt);
    ReadStartTag();
    return TToken::StartElement;
  }
}

void TXmlReader::ReadStartTag() {
  const size_t tagStart = FPos;
  ++FPos;
  const std::string_view qname = ReadName();
  FAttributes.clear();
  FAttributeOffsets.clear();
  const size_t bindingsBefore = FBindings.size();
  while (true) {
    const size_t beforeSpace = FPos;
    SkipSpace();
    if (FPos >= FDoc.size()) Fail("the document ends inside a tag", tagStart);
    const char c = FDoc[FPos];
    if (c == '>' || c == '/') break;
    if (FPos == beforeSpace) Fail("white space expected between attributes", FPos);
    const size_t nameAt = FPos;
    const std::string_view name = ReadName();
    SkipSpace();
    if (FPos >= FDoc.size() || FDoc[FPos] != '=')
      Fail("'=' expected after attribute '" + std::string(name) + "'", FPos);
    ++FPos;
    SkipSpace();
    if (FPos >= FDoc.size() || (FDoc[FPos] != '"' && FDoc[FPos] != '\''))
      Fail("a quoted attribute value was expected", FPos);
    const char quote = FDoc[FPos++];
    const size_t valueStart = FPos;
    bool needsDecoding = false;
    while (true) {
      if (FPos >= FDoc.size()) Fail("the document ends inside an attribute value", valueStart);
      const char v = FDoc[FPos];
      if (v == quote) break;
      if (v == '<') Fail("'<' inside an attribute value", FPos);
      if (v == '&') {
        if (ExpandReference(FDoc, FPos, nullptr) == 0) Fail("bad entity or character reference", FPos);
        needsDecoding = true;
      } else if (v == '\t' || v == '\n' || v == '\r') {
        needsDecoding = true;
      }
      ++FPos;
    }
    const std::string_view raw = FDoc.substr(valueStart, FPos - valueStart);
    ++FPos;
    for (const TAttribute& earlier : FAttributes) {
      if (earlier.Prefix.size() + earlier.Local.size() + (earlier.Prefix.empty() ? 0 : 1) == name.size() &&
          FDoc.substr(FAttributeOffsets[static_cast<size_t>(&earlier - FAttributes.data())], name.size()) == name)
        Fail("attribute '" + std::string(name) + "' appears twice", nameAt);
    }
    TAttribute attribute{};
    SplitQName(name, attribute.Prefix, attribute.Local);
    attribute.Raw = raw;
    attribute.NeedsDecoding = needsDecoding;
    if (name == "xmlns" || attribute.Prefix == "xmlns") {
      std::string scratch;
      const std::string_view uri = needsDecoding ? Value(attribute, scratch) : raw;
      if (needsDecoding) Fail("references in namespace names are not supported", valueStart);
      FBindings.push_back({attribute.Prefix.empty() ? std::string_view{} : attribute.Local, uri});
    }
    FAttributes.push_back(attribute);
    FAttributeOffsets.push_back(nameAt);
  }
  FEmptyElement = FDoc[FPos] == '/';
  if (FEmptyElement) {
    if (FPos + 1 >= FDoc.size() || FDoc[FPos + 1] != '>') Fail("'>' expected after '/'", FPos);
    FPos += 2;
  } else {
    ++FPos;
  }
  std::string_view prefix;
  SplitQName(qname, prefix, FLocal);
  FUri = Resolve(prefix, tagStart);
  for (TAttribute& attribute : FAttributes) {
    if (!attribute.Prefix.empty() && attribute.Prefix != "xmlns") attribute.Uri = Resolve(attribute.Prefix, tagStart);
  }
  FOpen.push_back({qname, bindingsBefore});
  FRootSeen = true;
  FPendingEnd = FEmptyElement;
}

void TXmlReader::ReadEndTag() {
  const size_t tagStart = FPos;
  FPos += 2;
  const std::string_view qname = ReadName();
  SkipSpace();
  if (FPos >= FDoc.size() || FDoc[FPos] != '>') Fail("'>' expected in end tag", FPos);
  ++FPos;
  if (FOpen.empty() || FOpen.back().QName != qname)
    Fail("end tag '" + std::string(qname) + "' does not match " +
             (FOpen.empty() ? std::string("any open element") : "'" + std::string(FOpen.back().QName) + "'"),
         tagStart);
  std::string_view prefix;
  SplitQName(qname, prefix, FLocal);
  FUri = Resolve(prefix, tagStart);
  FBindings.resize(FOpen.back().Bindings);
  FOpen.pop_back();
  if (FOpen.empty()) FRootClosed = true;
}

void TXmlReader::SkipElement() {
  const int depth = Depth();
  while (Depth() >= depth) {
    if (Next() == TToken::EndOfDocument) return;
  }
}

std::string_view TXmlReader::Value(const TAttribute& attribute, std::string& scratch) const {
  if (!attribute.NeedsDecoding) return attribute.Raw;
  scratch.clear();
  const std::string_view raw = attribute.Raw;
  for (size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '&') {
      i += ExpandReference(raw, i, &scratch) - 1;
    } else if (c == '\r') {
      scratch += ' ';
      if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;  // a CR LF pair is one line end
    } else if (c == '\t' || c == '\n') {
      scratch += ' ';
    } else {
      scratch += c;
    }
  }
  return scratch;
}
