#include "platform/com/TypeLib.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <utility>

#include "platform/com/Unknown.h"

namespace com {
namespace {

// A type library file comes from disk and may be anything; these bounds keep
// a hostile or damaged file from costing more than a moment to refuse.
constexpr std::size_t kMaxText = std::size_t{1} << 20;
constexpr std::size_t kMaxLine = 4096;

constexpr MemberKind kKinds[] = {MemberKind::Method, MemberKind::PropGet, MemberKind::PropPut,
                                 MemberKind::PropPutRef};

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::string Lower(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = LowerAscii(c);
  return result;
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsIdentifier(std::string_view word) {
  return !word.empty() && IsLetter(word[0]) &&
         std::all_of(word.begin(), word.end(), [](char c) { return IsLetter(c) || IsDigit(c); });
}

template <class T>
bool ParseNumber(std::string_view word, T* out) {
  const char* end = word.data() + word.size();
  const auto [ptr, ec] = std::from_chars(word.data(), end, *out);
  return !word.empty() && ec == std::errc() && ptr == end;
}

std::optional<VarType> ParseType(std::string_view word) {
  static constexpr std::pair<std::string_view, VarType> kTypes[] = {
      {"I2", VarType::I2},     {"I4", VarType::I4},     {"R8", VarType::R8},
      {"BOOL", VarType::Bool}, {"BSTR", VarType::Bstr}, {"DATE", VarType::Date},
      {"DISPATCH", VarType::Dispatch}, {"VARIANT", VarType::Variant},
  };
  for (const auto& [name, type] : kTypes)
    if (word == name) return type;
  return std::nullopt;
}

std::string Quote(std::string_view word) { return "'" + std::string(word) + "'"; }

template <class List, class Match>
auto FindIn(const List& list, Match match) -> decltype(&*std::begin(list)) {
  const auto it = std::find_if(std::begin(list), std::end(list), match);
  return it == std::end(list) ? nullptr : &*it;
}

// A cursor over one line of the file. Blanks separate tokens; a '#' outside
// a quoted text ends the line.
class LineReader {
 public:
  explicit LineReader(std::string_view line) : line_(line) {}

  bool AtEnd() {
    SkipSpace();
    return pos_ >= line_.size();
  }
  bool Accept(char c) {
    SkipSpace();
    if (pos_ >= line_.size() || line_[pos_] != c) return false;
    ++pos_;
    return true;
  }
  // Letters, digits and the signs of numbers and versions; empty when the
  // next token is something else.
  std::string_view Word() {
    SkipSpace();
    const std::size_t start = pos_;
    while (pos_ < line_.size() && IsWordChar(line_[pos_])) ++pos_;
    return line_.substr(start, pos_ - start);
  }
  // What is left of the line (shortened), for "unexpected ..." messages.
  std::string_view Rest() {
    SkipSpace();
    return line_.substr(pos_, 40);
  }
  // "{...}" with its braces; empty when there is no brace or it is not closed.
  std::string_view Braced() {
    SkipSpace();
    const std::size_t close = line_.find('}', pos_);
    if (pos_ >= line_.size() || line_[pos_] != '{' || close == std::string_view::npos) return {};
    const std::string_view text = line_.substr(pos_, close + 1 - pos_);
    pos_ = close + 1;
    return text;
  }
  // A double-quoted text with \" and \\ as its only escapes; on failure
  // `out` holds the reason.
  bool Quoted(std::string* out) {
    auto refuse = [out](std::string why) {
      *out = std::move(why);
      return false;
    };
    if (!Accept('"')) return refuse("a quoted text is expected");
    out->clear();
    for (; pos_ < line_.size(); ++pos_) {
      char c = line_[pos_];
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (c == '\\') {
        if (++pos_ == line_.size()) break;
        c = line_[pos_];
        if (c != '"' && c != '\\') return refuse("unknown escape '\\" + std::string(1, c) + "' in a quoted text");
      }
      out->push_back(c);
    }
    return refuse("unterminated quoted text");
  }

 private:
  static bool IsWordChar(char c) { return IsLetter(c) || IsDigit(c) || c == '.' || c == '-' || c == '+'; }
  void SkipSpace() {
    while (pos_ < line_.size() && (line_[pos_] == ' ' || line_[pos_] == '\t')) ++pos_;
    if (pos_ < line_.size() && line_[pos_] == '#') pos_ = line_.size();
  }

  std::string_view line_;
  std::size_t pos_ = 0;
};

class Parser {
 public:
  std::shared_ptr<const TypeLib> Run(std::string_view text, std::string* error) {
    if (!ParseAll(text)) {
      if (error) *error = "line " + std::to_string(failLine_) + ": " + message_;
      return nullptr;
    }
    if (error) error->clear();
    return std::make_shared<const TypeLib>(std::move(lib_));
  }

 private:
  enum class Block { None, Interface, Class };
  enum class Role { Default, Source, Other };

  // A class's use of an interface, checked once every interface is known so
  // that a file may list its classes before or after their interfaces.
  struct InterfaceUse {
    std::string className, name;
    Role role;
    std::size_t line;
  };

  bool Fail(std::string message) { return FailAt(line_, std::move(message)); }
  bool FailAt(std::size_t line, std::string message) {
    failLine_ = line;
    message_ = std::move(message);
    return false;
  }

  bool ParseAll(std::string_view text) {
    if (text.size() > kMaxText) {
      line_ = 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + kMaxText, '\n'));
      return Fail("the type library is larger than 1 MiB");
    }
    for (std::size_t start = 0; start < text.size();) {
      const std::size_t end = std::min(text.find('\n', start), text.size());
      std::string_view line = text.substr(start, end - start);
      start = end + 1;
      ++line_;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (line.size() > kMaxLine) return Fail("line longer than 4096 characters");
      const auto control = [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t'; };
      if (std::any_of(line.begin(), line.end(), control)) return Fail("unexpected control character");
      LineReader in(line);
      if (!in.AtEnd() && !Statement(in)) return false;
    }
    if (block_ != Block::None) return FailAt(blockLine_, "missing end of " + BlockName());
    if (!haveLibrary_) return FailAt(std::max<std::size_t>(line_, 1), "missing library line");
    return ResolveUses();
  }

  std::string BlockName() const {
    if (block_ == Block::Interface) return "dispinterface " + lib_.interfaces.back().name;
    return "coclass " + lib_.classes.back().name;
  }

  bool Statement(LineReader& in) {
    const std::string_view word = in.Word();
    if (word.empty()) return Fail("unexpected " + Quote(in.Rest()));
    const bool topLevel = word == "library" || word == "dispinterface" || word == "coclass" ||
                          (word == "source" && block_ != Block::Class);
    if (block_ != Block::None && topLevel)
      return Fail("missing end of " + BlockName() + " (begun on line " + std::to_string(blockLine_) + ")");
    if (word == "end") return End(in);
    if (block_ == Block::Interface) return Member(word, in);
    if (block_ == Block::Class) return ClassStatement(word, in);
    if (word == "library") return Library(in);
    if (!haveLibrary_ && topLevel) return Fail("missing library line before " + Quote(word));
    if (word == "dispinterface") return Interface(in, false);
    if (word == "coclass") return Class(in);
    if (word != "source") return Fail("unknown keyword " + Quote(word));
    if (in.Word() != "dispinterface") return Fail("'dispinterface' is expected after 'source'");
    return Interface(in, true);
  }

  bool ExpectEnd(LineReader& in) { return in.AtEnd() || Fail("unexpected " + Quote(in.Rest())); }

  bool Name(LineReader& in, std::string_view what, std::string* out) {
    const std::string_view word = in.Word();
    if (!IsIdentifier(word)) return Fail(std::string(what) + " name is expected");
    *out = std::string(word);
    return true;
  }

  bool GuidArg(LineReader& in, Guid* out) {
    const std::string_view text = in.Braced();
    if (text.empty()) return Fail("a GUID in braces is expected");
    const auto guid = ParseGuid(text);
    if (!guid) return Fail("bad GUID " + std::string(text));
    *out = *guid;
    return true;
  }

  bool QuotedArg(LineReader& in, std::string* out) { return in.Quoted(out) || Fail(*out); }

  bool TypeArg(LineReader& in, VarType* out) {
    const std::string_view word = in.Word();
    const auto type = ParseType(word);
    if (!type) return Fail("unknown type " + Quote(word.empty() ? in.Rest() : word));
    *out = *type;
    return true;
  }

  bool Library(LineReader& in) {
    if (haveLibrary_) return Fail("a second library line");
    if (!Name(in, "a library", &lib_.name) || !GuidArg(in, &lib_.libid)) return false;
    const std::string_view version = in.Word();
    const std::size_t dot = version.find('.');
    if (dot == std::string_view::npos || !ParseNumber(version.substr(0, dot), &lib_.major) ||
        !ParseNumber(version.substr(dot + 1), &lib_.minor))
      return Fail("a version MAJOR.MINOR is expected, not " + Quote(version));
    if (!QuotedArg(in, &lib_.helpText)) return false;
    haveLibrary_ = true;
    return ExpectEnd(in);
  }

  bool Interface(LineReader& in, bool source) {
    InterfaceInfo info;
    info.source = source;
    if (!Name(in, "an interface", &info.name) || !GuidArg(in, &info.iid) || !ExpectEnd(in)) return false;
    if (interfaceNames_.contains(info.name)) return Fail("duplicate interface name " + info.name);
    const auto [iid, fresh] = interfaceIids_.emplace(FormatGuid(info.iid), info.name);
    if (!fresh) return Fail("interface " + info.name + " has the IID of " + iid->second);
    interfaceNames_.emplace(info.name, info.source);
    lib_.interfaces.push_back(std::move(info));
    memberKinds_.clear();
    nameOfId_.clear();
    idOfName_.clear();
    block_ = Block::Interface;
    blockLine_ = line_;
    return true;
  }

  bool Param(LineReader& in, ParamInfo* param) {
    while (in.Accept('[')) {
      const std::string_view attribute = in.Word();
      bool* flag = attribute == "out" ? &param->out : attribute == "optional" ? &param->optional : nullptr;
      if (!flag) return Fail("unknown parameter attribute " + Quote(attribute));
      if (*flag) return Fail("parameter attribute " + Quote(attribute) + " given twice");
      *flag = true;
      if (!in.Accept(']')) return Fail("']' is expected after " + Quote(attribute));
    }
    return TypeArg(in, &param->type) && Name(in, "a parameter", &param->name);
  }

  bool Member(std::string_view idText, LineReader& in) {
    MemberInfo member;
    if (!ParseNumber(idText, &member.id))
      return Fail("a dispatch identifier or 'end' is expected, not " + Quote(idText));
    const std::string_view kindName = in.Word();
    const auto* kind = FindIn(kKinds, [&](MemberKind k) { return MemberKindName(k) == kindName; });
    if (!kind) return Fail("unknown member kind " + Quote(kindName));
    member.kind = *kind;
    if (!Name(in, "a member", &member.name)) return false;
    if (in.Accept('(') && !in.Accept(')')) {
      for (;;) {
        if (!Param(in, &member.params.emplace_back())) return false;
        if (in.Accept(')')) break;
        if (!in.Accept(',')) return Fail("',' or ')' is expected in the parameters of " + member.name);
      }
    }
    if (in.Accept(':') && !TypeArg(in, &member.result)) return false;
    if (!ExpectEnd(in) || !CheckMember(member)) return false;
    lib_.interfaces.back().members.push_back(std::move(member));
    return true;
  }

  // Rules the dispatcher relies on: one member per (id, kind), one id per
  // name, required parameters before optional ones, and puts that take the
  // new value last.
  bool CheckMember(const MemberInfo& member) {
    const std::string kind(MemberKindName(member.kind));
    for (std::size_t i = 0; i < member.params.size(); ++i) {
      const ParamInfo& p = member.params[i];
      for (std::size_t j = 0; j < i; ++j)
        if (EqualsIgnoreCase(member.params[j].name, p.name))
          return Fail("parameter " + p.name + " of " + member.name + " given twice");
      if (i > 0 && member.params[i - 1].optional && !p.optional)
        return Fail("required parameter " + p.name + " of " + member.name + " follows an optional one");
    }
    if (member.kind == MemberKind::PropGet && member.result == VarType::Void)
      return Fail("propget " + member.name + " needs a result type");
    if (member.kind == MemberKind::PropPut || member.kind == MemberKind::PropPutRef) {
      if (member.result != VarType::Void) return Fail(kind + " " + member.name + " returns nothing");
      if (member.params.empty() || member.params.back().out || member.params.back().optional)
        return Fail(kind + " " + member.name + " takes its new value as its last parameter");
    }
    const std::string id = std::to_string(member.id);
    if (!memberKinds_.emplace(member.id, member.kind).second)
      return Fail("duplicate member: " + id + " " + kind + " already in " + lib_.interfaces.back().name);
    const auto named = nameOfId_.emplace(member.id, member.name).first;
    if (named->second != member.name) return Fail("dispatch identifier " + id + " already belongs to " + named->second);
    const auto numbered = idOfName_.emplace(Lower(member.name), member.id).first;
    if (numbered->second != member.id)
      return Fail(member.name + " already has dispatch identifier " + std::to_string(numbered->second));
    return true;
  }

  bool Class(LineReader& in) {
    ClassInfo info;
    if (!Name(in, "a class", &info.name) || !GuidArg(in, &info.clsid) || !QuotedArg(in, &info.description) ||
        !ExpectEnd(in))
      return false;
    if (!classNames_.insert(info.name).second) return Fail("duplicate class name " + info.name);
    const auto [clsid, fresh] = classIds_.emplace(FormatGuid(info.clsid), info.name);
    if (!fresh) return Fail("coclass " + info.name + " has the CLSID of " + clsid->second);
    lib_.classes.push_back(std::move(info));
    classInterfaces_.clear();
    block_ = Block::Class;
    blockLine_ = line_;
    return true;
  }

  bool ClassStatement(std::string_view word, LineReader& in) {
    ClassInfo& info = lib_.classes.back();
    const Role role = word == "default" ? Role::Default : word == "source" ? Role::Source : Role::Other;
    if (role == Role::Other && word != "interface")
      return Fail("unknown keyword " + Quote(word) + " in coclass " + info.name);
    std::string name;
    if (!Name(in, "an interface", &name) || !ExpectEnd(in)) return false;
    if (!classInterfaces_.insert(name).second) return Fail("coclass " + info.name + " lists " + name + " twice");
    if (role == Role::Other) {
      info.otherInterfaces.push_back(name);
    } else {
      std::string& slot = role == Role::Default ? info.defaultInterface : info.sourceInterface;
      if (!slot.empty())
        return Fail("coclass " + info.name + " has a second " + (role == Role::Default ? "default" : "source") +
                    " interface");
      slot = name;
    }
    uses_.push_back({info.name, std::move(name), role, line_});
    return true;
  }

  bool End(LineReader& in) {
    if (block_ == Block::None) return Fail("'end' without a dispinterface or coclass");
    if (!ExpectEnd(in)) return false;
    if (block_ == Block::Class && lib_.classes.back().defaultInterface.empty())
      return Fail("coclass " + lib_.classes.back().name + " has no default interface");
    block_ = Block::None;
    return true;
  }

  bool ResolveUses() {
    for (const InterfaceUse& use : uses_) {
      const auto info = interfaceNames_.find(use.name);
      const std::string prefix = "coclass " + use.className;
      if (info == interfaceNames_.end()) return FailAt(use.line, prefix + " names unknown interface " + use.name);
      const bool source = info->second;
      if (use.role == Role::Source && !source)
        return FailAt(use.line, prefix + ": " + use.name + " is not a source dispinterface");
      if (use.role != Role::Source && source)
        return FailAt(use.line, prefix + ": source dispinterface " + use.name + " is listed as incoming");
    }
    return true;
  }

  TypeLib lib_;
  bool haveLibrary_ = false;
  Block block_ = Block::None;
  std::size_t blockLine_ = 0;
  std::size_t line_ = 0;
  std::vector<InterfaceUse> uses_;
  // Indexes for the duplicate checks, so that a large file costs linear time.
  std::map<std::string, bool> interfaceNames_;                   // name -> is a source interface
  std::map<std::string, std::string> interfaceIids_, classIds_;  // formatted GUID -> name
  std::set<std::string> classNames_;
  std::set<std::string> classInterfaces_;                // of the current class
  std::set<std::pair<DispId, MemberKind>> memberKinds_;  // of the current interface
  std::map<DispId, std::string> nameOfId_;
  std::map<std::string, DispId> idOfName_;  // lower-case name -> id
  std::size_t failLine_ = 0;
  std::string message_;
};

// ---- files and the cache of parsed libraries

// A parsed file stays valid while its modification time and size do; a file
// rewritten within the file system's timestamp granularity with the same size
// is the one change this misses.
struct CacheEntry {
  std::filesystem::file_time_type mtime;
  std::uintmax_t size = 0;
  std::shared_ptr<const TypeLib> lib;
};

constexpr std::size_t kMaxCacheEntries = 32;

struct Cache {
  std::mutex mutex;
  std::map<std::string, CacheEntry> entries;  // by absolute path
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}

}  // namespace

// Both tables follow the order of MemberKind.
std::string_view MemberKindName(MemberKind kind) {
  static constexpr std::string_view kNames[] = {"method", "propget", "propput", "propputref"};
  const auto i = static_cast<std::size_t>(kind);
  return i < std::size(kNames) ? kNames[i] : "unknown";
}

std::uint16_t InvokeFlagFor(MemberKind kind) {
  static constexpr std::uint16_t kFlags[] = {kInvokeMethod, kInvokePropertyGet, kInvokePropertyPut,
                                             kInvokePropertyPutRef};
  const auto i = static_cast<std::size_t>(kind);
  return i < std::size(kFlags) ? kFlags[i] : 0;
}

const MemberInfo* InterfaceInfo::Find(DispId id, std::uint16_t flags) const {
  // kKinds is in order of preference: a host that asks for "method or
  // property get" gets the method when both exist.
  for (MemberKind kind : kKinds) {
    if (!(flags & InvokeFlagFor(kind))) continue;
    if (const MemberInfo* m = FindIn(members, [&](const MemberInfo& x) { return x.id == id && x.kind == kind; }))
      return m;
  }
  return nullptr;
}

std::optional<DispId> InterfaceInfo::IdOfName(std::string_view member) const {
  const MemberInfo* m = FindIn(members, [&](const MemberInfo& x) { return EqualsIgnoreCase(x.name, member); });
  return m ? std::optional<DispId>(m->id) : std::nullopt;
}

const InterfaceInfo* TypeLib::FindInterface(std::string_view interfaceName) const {
  return FindIn(interfaces, [&](const InterfaceInfo& x) { return x.name == interfaceName; });
}
const InterfaceInfo* TypeLib::FindInterface(const IID& iid) const {
  return FindIn(interfaces, [&](const InterfaceInfo& x) { return x.iid == iid; });
}
const ClassInfo* TypeLib::FindClass(const CLSID& clsid) const {
  return FindIn(classes, [&](const ClassInfo& x) { return x.clsid == clsid; });
}
const ClassInfo* TypeLib::FindClass(std::string_view className) const {
  return FindIn(classes, [&](const ClassInfo& x) { return x.name == className; });
}

std::shared_ptr<const TypeLib> ParseTypeLib(std::string_view text, std::string* error) {
  return Parser().Run(text, error);
}

HRESULT LoadTypeLib(const std::filesystem::path& file, std::shared_ptr<const TypeLib>* out, std::string* error) {
  if (!out) return E_POINTER;
  out->reset();
  auto fail = [&](std::string message) {
    if (error) *error = std::move(message);
    return TYPE_E_CANTLOADLIBRARY;
  };
  std::error_code ec;
  const std::filesystem::path path = std::filesystem::absolute(file, ec).lexically_normal();
  // Only a regular file is opened: a FIFO or a device would block or never end.
  const auto status = ec ? std::filesystem::file_status() : std::filesystem::status(path, ec);
  if (ec || !std::filesystem::is_regular_file(status))
    return fail("cannot open " + file.string() + ": " + (ec ? ec.message() : "not a regular file"));
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  const auto mtime = ec ? std::filesystem::file_time_type() : std::filesystem::last_write_time(path, ec);
  if (ec) return fail("cannot open " + file.string() + ": " + ec.message());
  if (size > kMaxText) return fail(file.string() + " is larger than 1 MiB");

  Cache& cache = TheCache();
  const std::string key = path.string();
  {
    std::lock_guard lock(cache.mutex);
    const auto it = cache.entries.find(key);
    if (it != cache.entries.end() && it->second.mtime == mtime && it->second.size == size) {
      *out = it->second.lib;
      if (error) error->clear();
      return S_OK;
    }
  }
  // Read and parse outside the lock: two threads may parse the same file at
  // once, which costs time but never holds one loader behind another.
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail("cannot open " + file.string() + ": " + std::generic_category().message(errno));
  // One byte more than measured tells a file that changed under our feet.
  std::string text(static_cast<std::size_t>(size) + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad() || static_cast<std::uintmax_t>(in.gcount()) != size) return fail("cannot read " + file.string());
  text.resize(static_cast<std::size_t>(size));
  std::string problem;
  auto lib = ParseTypeLib(text, &problem);
  if (!lib) return fail(problem);
  {
    std::lock_guard lock(cache.mutex);
    if (cache.entries.size() >= kMaxCacheEntries && !cache.entries.contains(key))
      cache.entries.erase(cache.entries.begin());
    cache.entries[key] = CacheEntry{mtime, size, lib};
  }
  *out = std::move(lib);
  if (error) error->clear();
  return S_OK;
}

}  // namespace com
