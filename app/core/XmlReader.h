// XmlReader: the program's small XML tokenizer, shared by the settings file,
// GPX files, web-service replies and search results. Each file kind derives
// from it and supplies Parse(), which walks the tokens with NextToken() and
// the typed reads.
//
// The reader holds one fixed window of 16385 bytes (whole 16-bit units plus
// terminating zeros) and tokenises in place, so a file of any length is read
// with one allocation. A file starting with the byte-order mark FF FE is
// UTF-16 little-endian ("unicode"); any other file is read byte by byte, each
// byte widened to one character ("narrow"), and its text is taken as UTF-8
// where the caller asks for it. A UTF-8 byte-order mark at the start of a
// narrow file is dropped.
//
// Tokens: declarations ("<?...?>", "<!...>"; a comment runs to "-->" and a
// CDATA section to "]]>"), start tags with up to ten attributes, text, and end
// tags. Whitespace between tags is not a token. A tag ends at the first ">"
// outside quoted attribute values. A quote in a tag that is never closed
// shows as a "<" inside a value after a ">" of the tag, or as no ">" outside
// quotes within the window; then the tag ends at its first ">" instead and
// the unbalanced quote is logged, so only that tag is damaged. A token that
// cannot be closed within the window (a text, tag, comment or CDATA section
// of more than about 8000 characters, or one cut off by the end of the file)
// ends the data: the tokens before it stay readable, and a too-long token is
// logged. An unterminated trailing text at the end of the file is still the
// last token.
//
// Bad input never makes the reader read or write outside its window: NUL
// bytes, odd byte counts in UTF-16 files (the lone last byte is dropped),
// binary junk and truncated files only end the data early.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace rovana {

// A stored position: latitude and longitude in radians, altitude in metres.
struct LatLonAlt {
  double latitude = 0;
  double longitude = 0;
  double altitude = 0;
  bool operator==(const LatLonAlt&) const = default;
};

// Where a reader's bytes come from.
class XmlSource {
 public:
  XmlSource(std::filesystem::path folder, std::string name);
  virtual ~XmlSource() = default;

  // False when the bytes cannot be had; the source logs why.
  virtual bool Open() = 0;
  // Up to `size` bytes into `buffer`: the count read, 0 at the end, -1 when
  // reading failed.
  virtual long Read(void* buffer, std::size_t size) = 0;
  virtual void Close() = 0;

  const std::filesystem::path& folder() const { return folder_; }
  const std::string& name() const { return name_; }
  std::filesystem::path path() const { return folder_ / name_; }
  // Why the last Open failed ("Permission denied", "not a regular file"), or "".
  const std::string& error() const { return error_; }

 protected:
  void SetError(std::string error) { error_ = std::move(error); }

 private:
  std::filesystem::path folder_;
  std::string name_;
  std::string error_;
};

// A file "folder/name". Only regular files open (a FIFO or a device could
// block or never end); Open logs "Error opening file %s: %s" on failure.
class XmlFileSource final : public XmlSource {
 public:
  XmlFileSource(std::filesystem::path folder, std::string name);
  ~XmlFileSource() override;
  bool Open() override;
  long Read(void* buffer, std::size_t size) override;
  void Close() override;

 private:
  std::FILE* file_ = nullptr;
};

// Bytes held in memory (an HTTP reply body, or a test's input). The name is
// used in log lines only.
class XmlMemorySource final : public XmlSource {
 public:
  explicit XmlMemorySource(std::string bytes, std::string name = "memory");
  bool Open() override;
  long Read(void* buffer, std::size_t size) override;
  void Close() override {}

 private:
  std::string bytes_;
  std::size_t position_ = 0;
};

enum class XmlToken : int { Declaration = 0, StartTag = 1, Text = 2, EndTag = 3 };

// Locale-independent scans, as "%d" and "%lf" would read them: leading
// whitespace and a sign are accepted, and the scan stops at the first
// character that does not belong to the number. Empty when nothing converts
// or an integer lies outside 32 bits.
std::optional<std::int32_t> ScanInt(std::string_view text);
std::optional<double> ScanReal(std::string_view text);

class XmlReader {
 public:
  static constexpr std::size_t kWindowBytes = 16385;
  static constexpr std::size_t kMaxAttributes = 10;
  // The longest token the window takes, in units (UTF-16 code units of a
  // unicode file, bytes of a narrow one), from its first character through
  // its closing ">" (or, for a text, the "<" after it). XmlWriter bounds
  // what it writes by this.
  static constexpr std::size_t kMaxTokenUnits = 16382 / 2;

  XmlReader();
  XmlReader(std::filesystem::path folder, std::string name);  // a file source
  explicit XmlReader(std::unique_ptr<XmlSource> source);
  virtual ~XmlReader();
  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;

  // Replaces the source (the old one is dropped) and takes its folder and name.
  void SetSource(std::unique_ptr<XmlSource> source);
  void SetSource(std::filesystem::path folder, std::string name);

  // Opens the source, detects the encoding, fills the window, runs Parse()
  // and closes the source. True when the source opened and its first two
  // bytes could be read (Parse() runs only then). A failed block read logs
  // "Error reading file %s" and ends the data; what was read stays.
  bool Read();
  // What kept the last Read() from reading all of the source, or "" when
  // nothing did: why it did not open, a read error, a token too long for the
  // window, or data that ends inside a token. A Parse() that stops early on
  // its own leaves it empty.
  const std::string& problem() const { return problem_; }

  // Advances to the next token; false at the end of the data. Valid only
  // while Read() is running (that is, from Parse()).
  bool NextToken();

  XmlToken type() const { return type_; }
  // Tag name of a start or end tag (empty for other tokens), as UTF-8.
  std::string Name() const;
  // True when the name of the current start or end tag equals `name` exactly.
  bool IsTag(XmlToken type, std::string_view name) const;
  // A start tag written as an empty element "<a/>".
  bool EmptyElement() const { return emptyElement_; }

  // Attributes of the current start tag (the first ten; later ones are
  // ignored). Values are decoded like text (entities and character
  // references; UTF-8 in narrow files when `utf8` is set).
  std::size_t AttributeCount() const { return attributeCount_; }
  std::string AttributeName(std::size_t index) const;
  std::string AttributeValue(std::size_t index, bool utf8 = true) const;
  std::optional<std::string> Attribute(std::string_view name, bool utf8 = true) const;

  // The decoded text of a text or declaration token; empty for tags. CDATA
  // markers are removed, then (in narrow files, when `utf8` is set) the bytes
  // are decoded as UTF-8, then the references &lt; &gt; &amp; &apos; &quot;
  // &#N; and &#xH; are replaced in one pass, inside former CDATA sections too.
  // Unknown references stay as written; a character reference to no valid
  // character gives U+FFFD. A NUL character ends the text.
  std::string Text(bool utf8 = false) const;
  // The token's characters as they stand in the window (tag name for tags).
  std::u16string_view RawToken() const;

  // Typed reads: each takes the next token and converts its decoded text.
  // With no next token the result is empty or 0. Numbers that do not convert
  // read as 0 (false for booleans).
  std::string ReadText(bool utf8 = false);
  // Like ReadText, with every line break written as carriage return + line feed.
  std::string ReadMultiLineText(bool utf8 = false);
  std::int32_t ReadInt();  // "%d"
  double ReadReal();       // "%lf"
  bool ReadBool();         // "%d", non-zero is true
  // "%lf#%lf#%lf": latitude and longitude in degrees (returned in radians),
  // altitude in metres; fields that do not convert stay 0.
  LatLonAlt ReadPosition();

  bool unicode() const { return unicode_; }

  // The reader's own file: "folder/name".
  const std::filesystem::path& folder() const { return folder_; }
  const std::string& name() const { return name_; }
  std::filesystem::path path() const { return folder_ / name_; }
  // True when the file was deleted.
  bool DeleteFile();
  // Renames the file within its folder; the new name is kept on success.
  bool RenameFile(const std::string& newName);
  // The path without its last four characters (a ".gpx" style extension); a
  // shorter file name is removed whole, the folder never.
  std::filesystem::path PathWithoutExtension() const;

 protected:
  // The file kind's own walk over the tokens.
  virtual void Parse() = 0;

 private:
  enum class Scan { Found, End, Cut, NeedMore };  // Cut: the data ends inside a token
  struct Span {
    std::size_t start = 0, length = 0;
  };

  void Fill();
  void ReadBlock();
  void Compact();
  Scan ScanToken(bool final);
  Scan ScanText(std::size_t from, bool final);
  // Ends the current token at window position `at` (zeroed in place) and
  // continues the scan there.
  void EndTokenAt(std::size_t at);
  Scan ScanDeclaration(bool final);
  Scan ScanTag(bool final);
  void ParseAttributes(std::size_t from, std::size_t end);
  bool IsSeparator(char16_t c) const;
  std::size_t Find(std::size_t from, std::u16string_view what) const;
  std::u16string Units(Span span) const;
  std::string Decode(Span span, bool utf8, bool cdata) const;
  std::string ToUtf8(Span span) const;

  std::unique_ptr<XmlSource> source_;
  std::string problem_;
  std::filesystem::path folder_;
  std::string name_;

  std::unique_ptr<char16_t[]> window_;  // kWindowUnits, allocated by Read()
  bool unicode_ = false;
  bool endReached_ = false;  // the source has no more bytes
  bool ended_ = false;       // the token stream has ended
  std::size_t filled_ = 0;   // units of data in the window
  std::size_t next_ = 0;     // where the next token's scan starts
  bool haveSaved_ = false;   // a token's terminating zero replaced savedChar_
  std::size_t savedAt_ = 0;
  char16_t savedChar_ = 0;

  XmlToken type_ = XmlToken::Declaration;
  Span token_;
  bool emptyElement_ = false;
  std::size_t attributeCount_ = 0;
  Span attributeNames_[kMaxAttributes];
  Span attributeValues_[kMaxAttributes];
};

}  // namespace rovana
