#include "app/core/SettingsStore.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/core/Log.h"
#include "app/core/ProgramFolders.h"
#include "app/core/XmlWriter.h"
#include "platform/registry/Registry.h"

namespace rovana {
namespace {

// The password lives in the file: only its owner may read it.
constexpr mode_t kFileMode = 0600;

class SettingsReader final : public XmlReader {
 public:
  SettingsReader(SettingsStore& store, const std::filesystem::path& folder)
      : XmlReader(folder, SettingsStore::kFileName), store_(store) {}

 protected:
  void Parse() override {
    while (NextToken()) {
      if (IsTag(XmlToken::EndTag, "settings")) closed_ = true;
      if (type() != XmlToken::StartTag) continue;
      if (const SettingKey* row = FindSettingKey(Name())) ReadValue(*row);
    }
  }

 public:
  // The root element's end tag was read: the file was not cut short.
  bool closed() const { return closed_; }

 private:
  void ReadValue(const SettingKey& row) {
    // "<key/>" holds nothing: numbers read as 0, texts as empty.
    const bool empty = EmptyElement();
    switch (row.kind) {
      case SettingKind::Boolean: store_.*row.boolean = empty ? false : ReadBool(); break;
      case SettingKind::Integer: store_.*row.integer = empty ? 0 : ReadInt(); break;
      case SettingKind::Real: store_.*row.real = empty ? 0 : ReadReal(); break;
      case SettingKind::Text: store_.*row.text = empty ? std::string() : ReadText(true); break;
      case SettingKind::Position: store_.*row.position = empty ? LatLonAlt{} : ReadPosition(); break;
      case SettingKind::TextList:
        if (!empty) ReadList(store_.*row.list, row.key);
        break;
    }
  }

  // Items are "s" elements up to the list's end tag; an item already in the
  // list is not added again.
  void ReadList(TextList& list, std::string_view key) {
    while (NextToken()) {
      if (IsTag(XmlToken::EndTag, key)) return;
      if (IsTag(XmlToken::EndTag, "settings")) {  // a list left open
        closed_ = true;
        return;
      }
      if (!IsTag(XmlToken::StartTag, "s")) continue;
      list.Add(EmptyElement() ? std::string() : ReadMultiLineText(true));
    }
  }

  SettingsStore& store_;
  bool closed_ = false;
};

class SettingsWriter final : public XmlWriter {
 public:
  SettingsWriter(const SettingsStore& store, const std::filesystem::path& folder)
      : XmlWriter(folder, SettingsStore::kFileName, kFileMode), store_(store) {}

 protected:
  void Write() override {
    Raw("<settings>\n");
    const std::span<const SettingKey> keys = SettingKeys();
    for (auto row = keys.rbegin(); row != keys.rend(); ++row) WriteValue(*row);
    Raw("</settings>\n");
  }

 private:
  void WriteValue(const SettingKey& row) {
    switch (row.kind) {
      case SettingKind::Boolean: BoolElement(row.key, store_.*row.boolean); break;
      case SettingKind::Integer: IntElement(row.key, store_.*row.integer); break;
      case SettingKind::Real: RealElement(row.key, store_.*row.real); break;
      case SettingKind::Position: PositionElement(row.key, store_.*row.position); break;
      case SettingKind::TextList: ListElement(row.key, (store_.*row.list).items()); break;
      case SettingKind::Text: {
        const std::string& text = store_.*row.text;
        // An emptied text whose default is not empty is written as an empty
        // element; left out, it would come back as the default.
        if (text.empty() && !DefaultText(row, store_.folder()).empty()) {
          Format(" <%.*s></%.*s>\n", static_cast<int>(row.key.size()), row.key.data(),
                 static_cast<int>(row.key.size()), row.key.data());
        } else {
          TextElement(row.key, text);
        }
        break;
      }
    }
  }

  const SettingsStore& store_;
};

}  // namespace

void TextList::Add(std::string item, bool allowDuplicate) {
  const bool fresh = distinct_.insert(item).second;
  if (fresh || allowDuplicate) items_.push_back(std::move(item));
}

void TextList::Remove(std::string_view item) {
  const auto found = distinct_.find(item);
  if (found == distinct_.end()) return;
  // A copy: `item` may view one of the strings about to be moved or erased.
  const std::string gone = std::move(distinct_.extract(found).value());
  std::erase_if(items_, [&gone](const std::string& entry) { return entry == gone; });
}

void TextList::Clear() {
  items_.clear();
  distinct_.clear();
}

bool TextList::Contains(std::string_view item) const { return distinct_.find(item) != distinct_.end(); }

SettingsStore::SettingsStore(std::filesystem::path folder)
    : SettingsStore(std::move(folder), registry::Registry::Default()) {}

SettingsStore::SettingsStore(std::filesystem::path folder, const registry::Registry& registry)
    : folder_(ProgramFolderPath(folder)) {
  ApplyDefaults();
  Load(registry);
}

void SettingsStore::ApplyDefaults() {
  for (const SettingKey& row : SettingKeys()) {
    switch (row.kind) {
      case SettingKind::Boolean: this->*row.boolean = row.number != 0; break;
      case SettingKind::Integer: this->*row.integer = static_cast<std::int32_t>(row.number); break;
      case SettingKind::Real: this->*row.real = row.number; break;
      case SettingKind::Text: this->*row.text = DefaultText(row, folder_); break;
      case SettingKind::Position: this->*row.position = LatLonAlt{}; break;
      case SettingKind::TextList: (this->*row.list).Clear(); break;
    }
  }
}

void SettingsStore::ReadFile() {
  const std::string name = kFileName;
  struct stat info{};
  if (::stat(file().c_str(), &info) != 0) {
    const int error = errno;
    if (error == ENOENT) {  // a first start (or a link to a file not made yet)
      SettingsReader(*this, folder_).Read();  // logs the missing file
      return;
    }
    loadProblem_ = name + " could not be read (" + std::strerror(error) + "); Rovana uses the default settings.";
    keepOldFile_ = true;
    return;
  }
  if (!S_ISREG(info.st_mode)) {
    loadProblem_ = name + " is not a regular file; Rovana uses the default settings and will not save them.";
    return;
  }
  if (info.st_size == 0) {
    LogMessage("%s is empty; the default settings are used", file().c_str());
    return;
  }
  SettingsReader reader(*this, folder_);
  const std::string kept = " At the next save the file is kept as " + name + ".bad.";
  if (!reader.Read()) {
    loadProblem_ = name + " could not be read (" + reader.problem() + "); Rovana uses the default settings." + kept;
  } else if (!reader.problem().empty() || !reader.closed()) {
    const std::string why = reader.problem().empty() ? "it has no closing </settings>" : reader.problem();
    loadProblem_ = name + " is damaged (" + why + "); the values before the damage are used, the rest are defaults." + kept;
  } else {
    return;
  }
  keepOldFile_ = true;
}

void SettingsStore::Load(const registry::Registry& registry) {
  ReadFile();
  if (!loadProblem_.empty()) LogMessage("Settings: %s", loadProblem_.c_str());

  if (gpsName.empty()) {
    if (std::optional<std::string> port = registry.GetString(kGpsDriverKey, kGpsDriverValue)) gpsName = *port;
  }
}

bool SettingsStore::Save() const {
  SettingsWriter writer(*this, folder_);
  if (keepOldFile_) writer.KeepReplacedFileAs(".bad");
  const bool saved = writer.Save(true);
  if (saved) keepOldFile_ = false;  // the file is ours now
  return saved;
}

std::string SettingsStore::SaveProblem() const {
  const std::string problem = SettingsWriter(*this, folder_).SaveProblem();
  return problem.empty() ? problem : "Settings will not be saved: " + problem;
}

}  // namespace rovana
