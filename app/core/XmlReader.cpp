#include "app/core/XmlReader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <new>
#include <system_error>

#include "app/core/Log.h"
#include "app/core/TextCodec.h"

namespace rovana {
namespace {

// The window: 16385 bytes rounded up to whole units. Data fills at most
// 16382 bytes, so at least two zero units always follow it. Once the cursor
// is past half of the data the rest moves to the front and the window is
// refilled, so each unit is moved at most once on average; a token that
// runs past the data moves it earlier (the scan asks for more).
constexpr std::size_t kWindowUnits = (XmlReader::kWindowBytes + 1) / 2;
constexpr std::size_t kDataUnits = XmlReader::kMaxTokenUnits;
constexpr std::size_t kCompactUnits = kDataUnits / 2;
constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiansPerDegree = 2 * kPi / 360;

// Characters that separate words in tags and that are skipped between tokens.
constexpr char16_t kSeparators[] = {u'\r', u'\n', u'\t', u' ', u'\'', u'"', u'=', u'?'};
// The same as a lookup table over the ASCII range (all of them are ASCII).
constexpr std::array<bool, 128> kSeparatorTable = [] {
  std::array<bool, 128> table{};
  for (const char16_t c : kSeparators) table[c] = true;
  return table;
}();


// The characters the scan of a tag reacts to: quotes, "<" and ">" (all
// below 64, so one mask tells them).
constexpr std::uint64_t kTagMarkup = (1ull << '"') | (1ull << '\'') | (1ull << '<') | (1ull << '>');
bool IsTagMarkup(char16_t c) { return c < 64 && ((kTagMarkup >> c) & 1) != 0; }

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The sign and digits of a number as "%d" / "%lf" take them; `rest` is where
// the digits start, `negative` the sign. False when no digit (or, for reals,
// "inf"/"nan" or a leading ".") follows.
bool SplitSign(std::string_view text, std::size_t& rest, bool& negative, bool real) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  rest = i;
  if (i >= text.size()) return false;
  const char c = text[i];
  if (IsDigit(c)) return true;
  return real && (c == '.' || c == 'i' || c == 'I' || c == 'n' || c == 'N');
}

std::optional<double> ScanRealPrefix(std::string_view text, std::size_t& consumed) {
  std::size_t rest = 0;
  bool negative = false;
  if (!SplitSign(text, rest, negative, true)) return std::nullopt;
  double value = 0;
  const char* first = text.data() + rest;
  const auto [end, error] = std::from_chars(first, text.data() + text.size(), value, std::chars_format::general);
  if (error != std::errc()) return std::nullopt;
  consumed = static_cast<std::size_t>(end - text.data());
  return negative ? -value : value;
}

// Removes every occurrence of `what`, left to right.
template <typename Text, typename View>
void RemoveAll(Text& text, View what) {
  std::size_t i = text.find(what);
  if (i == Text::npos) return;
  std::size_t out = i;
  while (i < text.size()) {
    if (text[i] == what[0] && text.compare(i, what.size(), what) == 0) {
      i += what.size();
    } else {
      text[out++] = text[i++];
    }
  }
  text.resize(out);
}

// The units up to the first NUL: what a token or attribute holds as text.
std::u16string_view UpToNul(std::u16string_view units) {
  const std::size_t nul = units.find(u'\0');
  return nul == std::u16string_view::npos ? units : units.substr(0, nul);
}

// Most of a file's names, numbers and texts are ASCII, for which UTF-8 and
// UTF-16 are the same characters: the units up to the first NUL are narrowed
// directly into `out`, with no conversion in between, and `markup` tells
// whether any "<", "]" or "&" is among them (without one there is nothing
// to remove or replace). False, with `out` untouched, when any unit is not
// ASCII (or the span is longer than a token can be).
bool NarrowAscii(const char16_t* units, std::size_t length, std::string& out, bool* markup = nullptr) {
  char narrow[XmlReader::kMaxTokenUnits];
  if (length > sizeof narrow) return false;
  unsigned all = 0;
  bool special = false;
  std::size_t n = 0;
  for (; n < length; ++n) {
    const char16_t c = units[n];
    if (c == 0) break;
    all |= c;
    special |= c == u'<' || c == u']' || c == u'&';
    narrow[n] = static_cast<char>(c);
  }
  if (all >= 0x80) return false;
  out.assign(narrow, n);
  if (markup) *markup = special;
  return true;
}

// Whether `units` up to their first NUL read as `name` once converted to
// UTF-8 (only for an ASCII `name`, which no other unit can match).
bool SameAscii(std::u16string_view units, std::string_view name) {
  units = UpToNul(units);
  if (units.size() != name.size()) return false;
  for (std::size_t i = 0; i < units.size(); ++i)
    if (units[i] != static_cast<unsigned char>(name[i])) return false;
  return true;
}

bool IsAscii(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

std::optional<std::int32_t> ScanInt(std::string_view text) {
  std::size_t rest = 0;
  bool negative = false;
  if (!SplitSign(text, rest, negative, false)) return std::nullopt;
  std::uint64_t magnitude = 0;
  const auto [end, error] = std::from_chars(text.data() + rest, text.data() + text.size(), magnitude);
  if (error != std::errc()) return std::nullopt;
  if (magnitude > (negative ? 2147483648ull : 2147483647ull)) return std::nullopt;
  const auto value = static_cast<std::int64_t>(magnitude);
  return static_cast<std::int32_t>(negative ? -value : value);
}

std::optional<double> ScanReal(std::string_view text) {
  std::size_t consumed = 0;
  return ScanRealPrefix(text, consumed);
}

// ---- reader ----------------------------------------------------------------

XmlReader::XmlReader() = default;

XmlReader::XmlReader(std::filesystem::path folder, std::string name) { SetSource(std::move(folder), std::move(name)); }

XmlReader::XmlReader(std::unique_ptr<XmlSource> source) { SetSource(std::move(source)); }

XmlReader::~XmlReader() = default;

void XmlReader::SetSource(std::unique_ptr<XmlSource> source) {
  source_ = std::move(source);
  folder_ = source_ ? source_->folder() : std::filesystem::path();
  name_ = source_ ? source_->name() : std::string();
}

void XmlReader::SetSource(std::filesystem::path folder, std::string name) {
  SetSource(std::make_unique<XmlFileSource>(std::move(folder), std::move(name)));
}

bool XmlReader::Read() {
  problem_.clear();
  if (!source_) return false;
  if (!source_->Open()) {
    problem_ = source_->error().empty() ? "it could not be opened" : source_->error();
    return false;
  }
  unsigned char head[2];
  std::size_t got = 0;
  bool failed = false;
  while (got < sizeof head) {
    const long n = source_->Read(head + got, sizeof head - got);
    failed = n < 0;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got < sizeof head) {
    problem_ = failed ? "a read error" : "it is too short to hold XML";
    LogMessage(failed ? "Error reading file %s" : "File %s is too short to hold XML", source_->path().c_str());
    source_->Close();
    return false;
  }
  window_.reset(new (std::nothrow) char16_t[kWindowUnits]());
  if (!window_) {
    problem_ = "not enough memory";
    LogMessage("Not enough memory to read %s", source_->path().c_str());
    source_->Close();
    return false;
  }
  unicode_ = head[0] == 0xFF && head[1] == 0xFE;
  endReached_ = ended_ = haveSaved_ = false;
  filled_ = next_ = 0;
  type_ = XmlToken::Declaration;
  token_ = {};
  attributeCount_ = 0;
  emptyElement_ = false;
  if (!unicode_) {
    window_[0] = head[0];
    window_[1] = head[1];
    filled_ = 2;
  }
  Fill();
  // A UTF-8 byte-order mark is no text of the document.
  if (!unicode_ && filled_ >= 3 && window_[0] == 0xEF && window_[1] == 0xBB && window_[2] == 0xBF) next_ = 3;

  Parse();

  source_->Close();
  window_.reset();
  return true;
}

void XmlReader::Fill() {
  if (!endReached_ && filled_ < kDataUnits) ReadBlock();
  window_[filled_] = 0;
  window_[filled_ + 1] = 0;
}

void XmlReader::ReadBlock() {
  // A narrow file's bytes are read beside the window and widened into it.
  unsigned char narrow[kDataUnits];
  char* bytes = unicode_ ? reinterpret_cast<char*>(window_.get() + filled_) : reinterpret_cast<char*>(narrow);
  const std::size_t room = kDataUnits - filled_;
  long n = source_->Read(bytes, unicode_ ? room * 2 : room);
  if (n > 0 && unicode_ && n % 2 == 1) {
    // Complete the last unit; a file of odd length loses its lone last byte.
    const long more = source_->Read(bytes + n, 1);
    if (more < 0) n = -1;
    n += more > 0 ? 1 : 0;
    if (more == 0) endReached_ = true;
  }
  if (n < 0) {
    LogMessage("Error reading file %s", source_->path().c_str());
    if (problem_.empty()) problem_ = "a read error";
    endReached_ = true;
  } else if (n == 0) {
    endReached_ = true;
  } else if (unicode_) {
    const std::size_t units = static_cast<std::size_t>(n) / 2;
    if constexpr (std::endian::native == std::endian::big) {
      for (std::size_t i = filled_; i < filled_ + units; ++i)
        window_[i] = static_cast<char16_t>((window_[i] >> 8) | (window_[i] << 8));
    }
    filled_ += units;
  } else {
    char16_t* to = window_.get() + filled_;
    for (std::size_t k = 0; k < static_cast<std::size_t>(n); ++k) to[k] = narrow[k];
    filled_ += static_cast<std::size_t>(n);
  }
}

void XmlReader::Compact() {
  if (next_ > 0) {
    std::memmove(window_.get(), window_.get() + next_, (filled_ - next_) * sizeof(char16_t));
    filled_ -= next_;
    next_ = 0;
  }
  Fill();
}

bool XmlReader::NextToken() {
  if (!window_ || ended_) return false;
  if (haveSaved_) {
    window_[savedAt_] = savedChar_;
    haveSaved_ = false;
  }
  type_ = XmlToken::Declaration;
  token_ = {};
  attributeCount_ = 0;
  emptyElement_ = false;
  if (next_ > kCompactUnits) Compact();
  for (;;) {
    // A token may end only where the file ends or where the window cannot
    // take more of it.
    const bool final = endReached_ || (next_ == 0 && filled_ >= kDataUnits);
    const Scan scan = ScanToken(final);
    if (scan == Scan::Found) return true;
    if (scan == Scan::End || scan == Scan::Cut) {
      if (scan == Scan::Cut && !endReached_) {
        LogMessage("XML token too long in %s; reading stops", source_->path().c_str());
        problem_ = "an XML token too long to read";
      } else if (scan == Scan::Cut) {
        LogMessage("XML data of %s ends inside a token", source_->path().c_str());
        if (problem_.empty()) problem_ = "the data ends inside a token";
      }
      type_ = XmlToken::Declaration;
      token_ = {};
      attributeCount_ = 0;
      emptyElement_ = false;
      ended_ = true;
      return false;
    }
    Compact();
  }
}

bool XmlReader::IsSeparator(char16_t c) const { return c < kSeparatorTable.size() && kSeparatorTable[c]; }

std::size_t XmlReader::Find(std::size_t from, std::u16string_view what) const {
  const std::u16string_view data(window_.get(), filled_);
  return from >= filled_ ? kNotFound : data.find(what, from);
}

XmlReader::Scan XmlReader::ScanToken(bool final) {
  std::size_t p = next_;
  if (p >= filled_) return final ? Scan::End : Scan::NeedMore;
  if (window_[p] != u'<') {
    std::size_t q = p;
    while (q < filled_ && IsSeparator(window_[q])) ++q;
    if (q >= filled_) {
      if (endReached_) return Scan::End;
      // Only separators so far: they lead a text or are blanks before a tag,
      // which the next read tells. Kept, unless they fill the whole window.
      if (final) next_ = q;
      return Scan::NeedMore;
    }
    if (window_[q] != u'<') return ScanText(p, final);
    next_ = p = q;
  }
  if (p + 1 >= filled_) return final ? Scan::Cut : Scan::NeedMore;
  if (window_[p + 1] == u'?' || window_[p + 1] == u'!') return ScanDeclaration(final);
  return ScanTag(final);
}

XmlReader::Scan XmlReader::ScanText(std::size_t from, bool final) {
  const std::size_t lt = Find(from, u"<");
  type_ = XmlToken::Text;
  if (lt == kNotFound) {
    if (!final) return Scan::NeedMore;
    if (!endReached_) return Scan::Cut;
    // Trailing text at the end of the file is the last token.
    token_ = {from, filled_ - from};
    next_ = filled_;
    return Scan::Found;
  }
  token_ = {from, lt - from};
  EndTokenAt(lt);
  return Scan::Found;
}

void XmlReader::EndTokenAt(std::size_t at) {
  // The token is read in place: its end is zeroed, and the character there
  // is kept to be put back before the next scan.
  savedAt_ = at;
  savedChar_ = window_[at];
  haveSaved_ = true;
  window_[at] = 0;
  next_ = at;
}

XmlReader::Scan XmlReader::ScanDeclaration(bool final) {
  const std::size_t p = next_;
  // Make sure the longest opening ("<![CDATA[") is in the window before
  // telling the kinds apart.
  if (!final && filled_ - p < 9) return Scan::NeedMore;
  const std::u16string_view data(window_.get() + p, filled_ - p);
  std::u16string_view closer = u">";
  std::size_t from = p + 2;
  if (data.starts_with(u"<!--")) {
    closer = u"-->";
    from = p + 4;
  } else if (data.starts_with(u"<![CDATA[")) {
    closer = u"]]>";
    from = p + 9;
  }
  const std::size_t end = Find(from, closer);
  if (end == kNotFound) return final ? Scan::Cut : Scan::NeedMore;
  const std::size_t after = end + closer.size();  // at most filled_, inside the window
  type_ = XmlToken::Declaration;
  token_ = {p, after - p};
  EndTokenAt(after);
  return Scan::Found;
}

XmlReader::Scan XmlReader::ScanTag(bool final) {
  const std::size_t p = next_;
  // The closing ">" outside quoted attribute values; a ">" inside one is
  // part of the value. A quote that is never closed hides every later ">" of
  // the data, or pairs with a quote of some later tag. Two signs tell it:
  // a "<" inside a value (XML allows none there) after a ">" of the tag, or
  // no ">" outside quotes at all once the window holds all it can of the
  // tag. Then the tag ends at its first ">", so only this tag is damaged.
  std::size_t gt = kNotFound;
  std::size_t firstGt = kNotFound;
  bool unbalanced = false;
  bool lessThanSeen = false;  // only the first "<" inside a value is a sign
  char16_t quote = 0;
  for (std::size_t i = p + 1; i < filled_; ++i) {
    const char16_t c = window_[i];
    if (!IsTagMarkup(c)) continue;  // nothing below looks at other characters
    if (c == u'>' && firstGt == kNotFound) firstGt = i;
    if (quote) {
      if (c == quote) {
        quote = 0;
      } else if (c == u'<' && !lessThanSeen) {
        // A "<" before any ">" is more likely markup kept raw in a value
        // ("<a title="<b>x</b>">"), which the quotes still cover.
        lessThanSeen = true;
        if (firstGt != kNotFound) {
          unbalanced = true;
          break;
        }
      }
    } else if (c == u'"' || c == u'\'') {
      quote = c;
    } else if (c == u'>') {
      gt = i;
      break;
    }
  }
  if (gt == kNotFound && !unbalanced) {
    if (!final) return Scan::NeedMore;
    if (firstGt == kNotFound) return Scan::Cut;
    unbalanced = true;
  }
  if (unbalanced) {
    LogMessage("XML tag with an unbalanced quote in %s; the tag ends at its first '>'", source_->path().c_str());
    gt = firstGt;
  }

  const bool end = window_[p + 1] == u'/';
  type_ = end ? XmlToken::EndTag : XmlToken::StartTag;
  std::size_t close = gt;  // end of the name and attributes
  if (!end && close > p + 1 && window_[close - 1] == u'/') {
    emptyElement_ = true;
    --close;
  }
  const std::size_t nameStart = p + (end ? 2 : 1);
  std::size_t nameEnd = nameStart;
  while (nameEnd < close && !IsSeparator(window_[nameEnd]) && window_[nameEnd] != u'/') ++nameEnd;
  token_ = {nameStart, nameEnd - nameStart};
  if (!end) ParseAttributes(nameEnd, close);
  window_[gt] = 0;
  next_ = gt + 1;
  return Scan::Found;
}

void XmlReader::ParseAttributes(std::size_t from, std::size_t end) {
  std::size_t i = from;
  for (;;) {
    while (i < end && IsSeparator(window_[i])) ++i;
    if (i >= end) return;
    const std::size_t nameStart = i;
    while (i < end && !IsSeparator(window_[i])) ++i;
    const Span name{nameStart, i - nameStart};
    // Between name and value: blanks and at most one "=".
    while (i < end && (window_[i] == u' ' || window_[i] == u'\t' || window_[i] == u'\r' || window_[i] == u'\n')) ++i;
    if (i < end && window_[i] == u'=') ++i;
    while (i < end && (window_[i] == u' ' || window_[i] == u'\t' || window_[i] == u'\r' || window_[i] == u'\n')) ++i;
    Span value{i, 0};
    if (i < end && (window_[i] == u'"' || window_[i] == u'\'')) {
      const char16_t quote = window_[i++];
      value.start = i;
      while (i < end && window_[i] != quote) ++i;
      value.length = i - value.start;
      if (i < end) ++i;
    } else {
      while (i < end && !IsSeparator(window_[i])) ++i;
      value.length = i - value.start;
    }
    if (attributeCount_ < kMaxAttributes) {
      attributeNames_[attributeCount_] = name;
      attributeValues_[attributeCount_] = value;
      ++attributeCount_;
    }
  }
}

std::u16string XmlReader::Units(Span span) const {
  if (!window_) return {};
  return std::u16string(UpToNul(std::u16string_view(window_.get() + span.start, span.length)));
}

std::string XmlReader::ToUtf8(Span span) const {
  std::string ascii;
  if (window_ && NarrowAscii(window_.get() + span.start, span.length, ascii)) return ascii;
  const std::u16string units = Units(span);
  if (unicode_) return Utf16ToUtf8(units);
  return SanitizeUtf8(std::string(units.begin(), units.end()));  // narrow: one byte per unit
}

std::string XmlReader::Decode(Span span, bool utf8, bool cdata) const {
  std::string ascii;
  bool markup = false;
  if (window_ && NarrowAscii(window_.get() + span.start, span.length, ascii, &markup)) {
    // The same steps on ASCII, where both encodings are the identity.
    if (!markup) return ascii;
    if (cdata) {
      RemoveAll(ascii, std::string_view("<![CDATA["));
      RemoveAll(ascii, std::string_view("]]>"));
    }
    if (ascii.find('&') == std::string::npos) return ascii;
    return Utf16ToUtf8(DecodeXmlReferences(std::u16string(ascii.begin(), ascii.end())));
  }
  std::u16string text = Units(span);
  if (cdata) {
    RemoveAll(text, std::u16string_view(u"<![CDATA["));
    RemoveAll(text, std::u16string_view(u"]]>"));
  }
  // UTF-8 first: a character reference must not be taken for a byte.
  if (!unicode_ && utf8) text = Utf8ToUtf16(std::string(text.begin(), text.end()));
  return Utf16ToUtf8(DecodeXmlReferences(text));
}

std::string XmlReader::Name() const {
  if (type_ != XmlToken::StartTag && type_ != XmlToken::EndTag) return {};
  return ToUtf8(token_);
}

bool XmlReader::IsTag(XmlToken type, std::string_view name) const {
  if (type_ != type) return false;
  if (type_ != XmlToken::StartTag && type_ != XmlToken::EndTag) return name.empty();  // no name off tags
  if (window_ && IsAscii(name)) return SameAscii(std::u16string_view(window_.get() + token_.start, token_.length), name);
  return Name() == name;
}

std::string XmlReader::AttributeName(std::size_t index) const {
  return index < attributeCount_ ? ToUtf8(attributeNames_[index]) : std::string();
}

std::string XmlReader::AttributeValue(std::size_t index, bool utf8) const {
  return index < attributeCount_ ? Decode(attributeValues_[index], utf8, false) : std::string();
}

std::optional<std::string> XmlReader::Attribute(std::string_view name, bool utf8) const {
  const bool ascii = window_ && IsAscii(name);
  for (std::size_t i = 0; i < attributeCount_; ++i) {
    const Span& n = attributeNames_[i];
    if (ascii ? SameAscii(std::u16string_view(window_.get() + n.start, n.length), name) : AttributeName(i) == name)
      return AttributeValue(i, utf8);
  }
  return std::nullopt;
}

std::string XmlReader::Text(bool utf8) const {
  if (type_ != XmlToken::Text && type_ != XmlToken::Declaration) return {};
  return Decode(token_, utf8, true);
}

std::u16string_view XmlReader::RawToken() const {
  if (!window_) return {};
  return std::u16string_view(window_.get() + token_.start, token_.length);
}

std::string XmlReader::ReadText(bool utf8) { return NextToken() ? Text(utf8) : std::string(); }

std::string XmlReader::ReadMultiLineText(bool utf8) {
  const std::string text = ReadText(utf8);
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

std::int32_t XmlReader::ReadInt() { return ScanInt(ReadText()).value_or(0); }

double XmlReader::ReadReal() { return ScanReal(ReadText()).value_or(0); }

bool XmlReader::ReadBool() { return ReadInt() != 0; }

LatLonAlt XmlReader::ReadPosition() {
  const std::string text = ReadText();
  double fields[3] = {0, 0, 0};
  std::string_view rest(text);
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (rest.empty() || rest.front() != '#') break;
      rest.remove_prefix(1);
    }
    std::size_t consumed = 0;
    const std::optional<double> value = ScanRealPrefix(rest, consumed);
    if (!value) break;
    fields[i] = *value;
    rest.remove_prefix(consumed);
  }
  return LatLonAlt{fields[0] * kRadiansPerDegree, fields[1] * kRadiansPerDegree, fields[2]};
}

// ---- the reader's own file -------------------------------------------------

bool XmlReader::DeleteFile() {
  std::error_code error;
  return std::filesystem::remove(path(), error);
}

bool XmlReader::RenameFile(const std::string& newName) {
  if (newName.empty() || newName == "." || newName == ".." || newName.find('/') != std::string::npos) return false;
  std::error_code error;
  std::filesystem::rename(path(), folder_ / newName, error);
  if (error) {
    LogMessage("Cannot rename %s to %s: %s", path().c_str(), newName.c_str(), error.message().c_str());
    return false;
  }
  const bool fileSource = dynamic_cast<XmlFileSource*>(source_.get()) != nullptr;
  name_ = newName;
  if (fileSource) source_ = std::make_unique<XmlFileSource>(folder_, name_);
  return true;
}

std::filesystem::path XmlReader::PathWithoutExtension() const {
  return folder_ / name_.substr(0, name_.size() - std::min<std::size_t>(4, name_.size()));
}

}  // namespace rovana
