// libFuzzer target: the XML reader on arbitrary bytes, and the settings
// store, its real reader for settings.xml, on a file of arbitrary bytes.
//
// Reader mode: the bytes come in pieces of fuzzed sizes (a failed read
// among them) and a fuzzed series of NextToken and typed reads walks them.
// Checks: Read() succeeds exactly when two bytes can be read; no more tokens
// than bytes; at most ten attributes, and none outside a start tag; names
// only on tags, texts only off tags; every text, name and value is UTF-8
// without NUL; a plain ASCII text decodes to itself; IsTag agrees with
// Name(); a second reading of the same bytes in one piece gives the same
// tokens.
//
// Settings mode: the bytes are settings.xml in a temporary folder; the store
// loads it, saves it and loads the saved file. Checks: the save succeeds and
// the second load gives the first one's values (numbers within the file's
// six decimals, texts without the carriage returns the writer drops and
// with U+FFFD for the characters XML forbids).
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "app/core/SettingsStore.h"
#include "app/core/XmlReader.h"
#include "fuzz/FuzzCheck.h"
#include "platform/registry/Registry.h"

namespace {

namespace fs = std::filesystem;
using rovana::XmlToken;

void Check(bool ok, const char* what) { fuzz::Check(ok, "xml_reader_fuzz", what); }

// Bytes handed out in pieces; a read may fail once, after which the reader
// must treat the data as ended.
class PieceSource final : public rovana::XmlSource {
 public:
  PieceSource(std::string bytes, std::vector<std::size_t> pieces, std::size_t failAt)
      : XmlSource("/fuzz", "pieces.xml"), bytes_(std::move(bytes)), pieces_(std::move(pieces)), failAt_(failAt) {}
  bool Open() override { return true; }
  long Read(void* buffer, std::size_t size) override {
    if (calls_++ == failAt_) return -1;
    std::size_t n = pieces_.empty() ? size : pieces_[calls_ % pieces_.size()];
    n = std::min({n, size, bytes_.size() - at_});
    std::copy_n(bytes_.data() + at_, n, static_cast<char*>(buffer));
    at_ += n;
    return static_cast<long>(n);
  }
  void Close() override {}

 private:
  std::string bytes_;
  std::vector<std::size_t> pieces_;
  std::size_t failAt_;
  std::size_t at_ = 0;
  std::size_t calls_ = 0;
};

struct Token {
  XmlToken type;
  std::string name, text;
  std::vector<std::pair<std::string, std::string>> attributes;
  bool operator==(const Token&) const = default;
};

class Walker final : public rovana::XmlReader {
 public:
  Walker(std::unique_ptr<rovana::XmlSource> source, std::string ops)
      : XmlReader(std::move(source)), ops_(std::move(ops)) {}
  std::vector<Token> tokens;
  std::size_t reads = 0;  // tokens taken by typed reads

 protected:
  void Parse() override {
    for (std::size_t step = 0; step < 200000; ++step) {
      const unsigned op = ops_.empty() ? 0 : static_cast<unsigned char>(ops_[step % ops_.size()]) % 10;
      if (op >= 3) {
        if (!Typed(op)) return;
        continue;
      }
      if (!NextToken()) return;
      CheckToken();
    }
    Check(false, "the token stream ends");
  }

 private:
  // A typed read takes one token; false at the end of the data, as far as
  // the walk can tell (the typed reads give no end signal of their own).
  bool Typed(unsigned op) {
    ++reads;
    switch (op) {
      case 3: Check(fuzz::IsUtf8(ReadText(true)), "ReadText(utf8) is UTF-8"); break;
      case 4: Check(fuzz::IsUtf8(ReadText(false)), "ReadText is UTF-8"); break;
      case 5: {
        const std::string text = ReadMultiLineText(true);
        Check(fuzz::IsUtf8(text), "ReadMultiLineText is UTF-8");
        for (std::size_t i = text.find('\n'); i != std::string::npos; i = text.find('\n', i + 1))
          Check(i > 0 && text[i - 1] == '\r', "every line break is CR LF");
        break;
      }
      case 6: (void)ReadInt(); break;
      case 7: (void)ReadReal(); break;
      case 8: (void)ReadBool(); break;
      default: (void)ReadPosition(); break;
    }
    return reads < 100000;
  }

  void CheckToken() {
    Token t{type(), Name(), {}, {}};
    const int kind = static_cast<int>(t.type);
    Check(kind >= 0 && kind <= 3, "a known token type");
    Check(RawToken().size() <= kWindowBytes / 2, "a token fits the window");
    const bool tag = t.type == XmlToken::StartTag || t.type == XmlToken::EndTag;
    Check(AttributeCount() <= kMaxAttributes, "at most ten attributes");
    if (t.type != XmlToken::StartTag) Check(AttributeCount() == 0, "attributes only on start tags");
    if (tag) {
      Check(Text(true).empty() && Text(false).empty(), "no text on a tag");
      Check(IsTag(t.type, t.name), "IsTag agrees with Name");
      Check(t.name.find_first_of(" \t\r\n>") == std::string::npos, "a tag name has no blank or '>'");
    } else {
      Check(t.name.empty(), "no name off a tag");
      Check(!EmptyElement(), "only start tags are empty elements");
      t.text = Text(true);
      const std::string latin = Text(false);
      Check(fuzz::IsUtf8(t.text) && fuzz::IsUtf8(latin), "texts are UTF-8");
      Check(t.text.find('\0') == std::string::npos && latin.find('\0') == std::string::npos, "a NUL ends a text");
      const std::u16string_view raw = RawToken();
      bool plain = t.type == XmlToken::Text && !raw.empty();
      for (char16_t c : raw) plain = plain && c >= 0x20 && c < 0x7F && c != '&' && c != '<' && c != ']';
      if (plain) {
        const std::string ascii(raw.begin(), raw.end());
        Check(t.text == ascii && latin == ascii, "a plain ASCII text decodes to itself");
      }
    }
    Check(fuzz::IsUtf8(t.name), "a name is UTF-8");
    for (std::size_t i = 0; i < AttributeCount(); ++i) {
      t.attributes.emplace_back(AttributeName(i), AttributeValue(i));
      Check(fuzz::IsUtf8(t.attributes.back().first) && fuzz::IsUtf8(t.attributes.back().second) &&
                fuzz::IsUtf8(AttributeValue(i, false)),
            "attributes are UTF-8");
      const auto first = Attribute(t.attributes.back().first);
      Check(first.has_value(), "an attribute is found by its name");
    }
    tokens.push_back(std::move(t));
  }

  std::string ops_;
};

// Every token, in one piece, nothing but NextToken.
class Lister final : public rovana::XmlReader {
 public:
  explicit Lister(std::string bytes) : XmlReader(std::make_unique<rovana::XmlMemorySource>(std::move(bytes))) {}
  std::vector<Token> tokens;

 protected:
  void Parse() override {
    while (tokens.size() < 200000 && NextToken()) {
      Token t{type(), Name(), Text(true), {}};
      for (std::size_t i = 0; i < AttributeCount(); ++i) t.attributes.emplace_back(AttributeName(i), AttributeValue(i));
      tokens.push_back(std::move(t));
    }
  }
};

void FuzzReader(FuzzedDataProvider& input) {
  // Choices come from the end of the input, so the file is its front.
  std::string ops(input.ConsumeIntegralInRange<std::size_t>(0, 32), '\0');
  for (char& op : ops) op = static_cast<char>(input.ConsumeIntegral<std::uint8_t>());
  std::vector<std::size_t> pieces(input.ConsumeIntegralInRange<std::size_t>(0, 8));
  for (std::size_t& piece : pieces) piece = input.ConsumeIntegralInRange<std::size_t>(1, 20000);
  const std::size_t failAt = input.ConsumeBool() ? input.ConsumeIntegralInRange<std::size_t>(0, 20) : SIZE_MAX;
  const std::string bytes = input.ConsumeRemainingBytesAsString();

  const bool failsEarly = failAt <= 1;
  Walker walker(std::make_unique<PieceSource>(bytes, pieces, failAt), ops);
  const bool read = walker.Read();
  if (!failsEarly) Check(read == (bytes.size() >= 2), "Read() succeeds exactly when two bytes can be read");
  Check(walker.tokens.size() <= bytes.size() + 1, "no more tokens than bytes");

  // Without typed reads and without a failed read the walk saw every token.
  if (failAt == SIZE_MAX && walker.reads == 0) {
    Lister lister(bytes);
    lister.Read();
    if (lister.tokens != walker.tokens) {
      auto dump = [](const char* what, const std::vector<Token>& tokens) {
        std::fprintf(stderr, "%s:\n", what);
        for (const Token& t : tokens) std::fprintf(stderr, "  %d [%s] [%s]\n", static_cast<int>(t.type), t.name.c_str(), t.text.c_str());
      };
      dump("one piece", lister.tokens);
      dump("in pieces", walker.tokens);
    }
    Check(lister.tokens == walker.tokens, "pieces give the tokens of one piece");
  }
}

// ---- settings mode ------------------------------------------------------------

const fs::path& Folder() {
  static const fs::path folder = [] {
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    fs::path f = base / ("xml_reader_fuzz-" + std::to_string(::getpid()));
    fs::create_directories(f);
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(Folder(), ec);
    });
    return f;
  }();
  return folder;
}

// A text as the writer can keep it: without carriage returns, and with the
// characters XML forbids (controls but tab and line feed, U+FFFE, U+FFFF)
// as U+FFFD.
std::string WithoutReturns(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\r') continue;
    const bool control = c < 0x20 && c != '\t' && c != '\n';
    const bool nonCharacter = c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
                              (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE;
    if (control || nonCharacter) {
      out += "\xEF\xBF\xBD";
      if (nonCharacter) i += 2;
      continue;
    }
    out += text[i];
  }
  return out;
}

// The writer cuts a text too long for the reader's window (over 8000
// characters or so) to what the reader takes back.
bool Kept(const std::string& saved, const std::string& read) {
  return saved == read || (saved.size() > 4000 && read.size() < saved.size() && saved.compare(0, read.size(), read) == 0);
}

// Within the six decimals the file keeps, relative for large values.
bool Near(double a, double b, double tolerance) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  if (std::isinf(a) || std::isinf(b)) return a == b;
  return std::abs(a - b) <= tolerance + 1e-14 * std::abs(a);
}

void CompareStores(const rovana::SettingsStore& a, const rovana::SettingsStore& b) {
  using rovana::SettingKind;
  for (const rovana::SettingKey& row : rovana::SettingKeys()) {
    switch (row.kind) {
      case SettingKind::Boolean: Check(a.*row.boolean == b.*row.boolean, "a boolean survives saving"); break;
      case SettingKind::Integer: Check(a.*row.integer == b.*row.integer, "an integer survives saving"); break;
      case SettingKind::Real: Check(Near(a.*row.real, b.*row.real, 1e-6), "a real survives saving"); break;
      case SettingKind::Text: {
        const std::string x = WithoutReturns(a.*row.text), y = WithoutReturns(b.*row.text);
        if (!Kept(x, y))
          std::fprintf(stderr, "%.*s: [%s] saved, [%s] read back\n", static_cast<int>(row.key.size()), row.key.data(),
                       x.c_str(), y.c_str());
        Check(Kept(x, y), "a text survives saving");
        break;
      }
      case SettingKind::Position: {
        const rovana::LatLonAlt& p = a.*row.position;
        const rovana::LatLonAlt& q = b.*row.position;
        Check(Near(p.latitude, q.latitude, 1e-8) && Near(p.longitude, q.longitude, 1e-8) &&
                  Near(p.altitude, q.altitude, 1e-6),
              "a position survives saving");
        break;
      }
      case SettingKind::TextList: {
        // Items that differ only in carriage returns become one item.
        std::vector<std::string> x, y;
        for (const std::string& item : a.*row.list)
          if (std::find(x.begin(), x.end(), WithoutReturns(item)) == x.end()) x.push_back(WithoutReturns(item));
        for (const std::string& item : b.*row.list)
          if (std::find(y.begin(), y.end(), WithoutReturns(item)) == y.end()) y.push_back(WithoutReturns(item));
        bool kept = x.size() == y.size();
        for (std::size_t i = 0; kept && i < x.size(); ++i) kept = Kept(x[i], y[i]);
        Check(kept, "a list survives saving");
        break;
      }
    }
  }
}

void FuzzSettings(const std::string& bytes) {
  const fs::path& folder = Folder();
  const fs::path file = folder / rovana::SettingsStore::kFileName;
  // Each run starts from an empty folder: a damaged file is kept beside the
  // new one at a save, and those would pile up.
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  const registry::Registry none(folder / "no-registry");
  rovana::SettingsStore first(folder, none);
  const bool saved = first.Save();
  if (!saved) std::fprintf(stderr, "%s\n", first.SaveProblem().c_str());
  Check(saved, "the store saves");
  rovana::SettingsStore second(folder, none);
  CompareStores(first, second);
}

}  // namespace

// The first byte chooses the mode (odd: settings), so that a seed is that
// byte and a file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (data[0] & 1) {
    FuzzSettings(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  } else {
    FuzzedDataProvider input(data + 1, size - 1);
    FuzzReader(input);
  }
  return 0;
}
