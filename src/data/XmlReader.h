// A namespace-aware pull parser for XML documents held in memory, strict enough to refuse
// malformed input and quick enough for results of hundreds of megabytes: it walks the bytes
// once, hands out names and raw attribute values as views into the document, and decodes a
// value only when asked. Entities and character references are expanded and attribute values
// normalised as XML 1.0 requires. Document type declarations are refused, so no entity is
// ever fetched from outside.
//
// Errors raise ERowsetError naming the line and byte offset.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Exceptions.h"

class ERowsetError : public Exception {
 public:
  using Exception::Exception;
};

class TXmlReader {
 public:
  enum class TToken { StartElement, EndElement, EndOfDocument };

  struct TAttribute {
    std::string_view Prefix;
    std::string_view Local;
    std::string_view Uri;  // empty for an unprefixed attribute
    std::string_view Raw;  // the value as written, between its quotes
    bool NeedsDecoding;    // holds a reference or a white-space character to normalise
  };

  // document: UTF-8 (see Utf8Document for other encodings), which must outlive the reader.
  explicit TXmlReader(std::string_view document);

  TToken Next();

  // The current element (after StartElement, and after EndElement for its names).
  std::string_view Uri() const { return FUri; }
  std::string_view Local() const { return FLocal; }
  bool IsEmptyElement() const { return FEmptyElement; }
  int Depth() const { return static_cast<int>(FOpen.size()); }
  const std::vector<TAttribute>& Attributes() const { return FAttributes; }
  // The attribute's value after reference expansion and normalisation.
  std::string_view Value(const TAttribute& attribute, std::string& scratch) const;

  // Skips the current element's content, up to and including its end tag.
  void SkipElement();
  // "line L, byte offset B" of a position in the document.
  std::string Where(size_t offset) const;
  size_t Offset() const { return FPos; }
  [[noreturn]] void Fail(const std::string& what, size_t offset) const;

 private:
  struct TBinding {
    std::string_view Prefix;
    std::string_view Uri;
  };
  struct TOpenElement {
    std::string_view QName;
    size_t Bindings;  // FBindings.size() before this element's declarations
  };

  void ReadProlog();
  void SkipMarkup();  // comment, processing instruction or CDATA section at FPos
  void ReadStartTag();
  void ReadEndTag();
  void CheckText(size_t from, size_t to, bool outsideRoot) const;
  std::string_view ReadName();
  std::string_view Resolve(std::string_view prefix, size_t offset) const;
  void SkipSpace();

  std::string_view FDoc;
  size_t FPos = 0;
  std::vector<TBinding> FBindings;
  std::vector<TOpenElement> FOpen;
  std::vector<TAttribute> FAttributes;
  std::vector<size_t> FAttributeOffsets;
  std::string_view FUri;
  std::string_view FLocal;
  bool FEmptyElement = false;
  bool FPendingEnd = false;  // an empty element's end is still to be reported
  bool FRootSeen = false;
  bool FRootClosed = false;
};

// The document as UTF-8: a UTF-8 byte order mark is skipped; UTF-16 with a byte order mark is
// converted into storage. Raises ERowsetError for an encoding that is neither.
std::string_view Utf8Document(std::string_view bytes, std::string& storage);
