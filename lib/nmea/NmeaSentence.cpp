#include "lib/nmea/NmeaSentence.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "lib/component/Identifiers.h"

namespace zenolith {
namespace {

using Kind = com::MemberKind;

// The buffer a sentence is rebuilt in: at most 255 characters are written,
// and the "*hh" suffix only fits after at most 252.
constexpr std::size_t kRebuildSize = 256;
constexpr std::size_t kMaxWithChecksum = 252;

struct TypeRow {
  std::string_view command;
  SentenceType type;
};
constexpr TypeRow kTypes[] = {
    {"RMC", kTypeRMC}, {"GLL", kTypeGLL}, {"GGA", kTypeGGA},
    {"GSV", kTypeGSV}, {"GSA", kTypeGSA}, {"VTG", kTypeVTG},
};

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    const auto lx = (x >= 'a' && x <= 'z') ? x - 32 : x, ly = (y >= 'a' && y <= 'z') ? y - 32 : y;
    if (lx != ly) return false;
  }
  return true;
}

}  // namespace

const MemberRow<NmeaSentence> NmeaSentence::kMembers[] = {
    {1, Kind::PropGet, &NmeaSentence::GetFields},      {2, Kind::PropGet, &NmeaSentence::GetFieldsCount},
    {3, Kind::PropGet, &NmeaSentence::GetCommand},     {4, Kind::PropGet, &NmeaSentence::GetSentence},
    {3, Kind::PropPut, &NmeaSentence::PutCommand},     {4, Kind::PropPut, &NmeaSentence::PutSentence},
    {5, Kind::Method, &NmeaSentence::SetFieldMember},  {6, Kind::PropGet, &NmeaSentence::GetFullCommand},
    {6, Kind::PropPut, &NmeaSentence::PutCommand},
};

NmeaSentence::NmeaSentence() : ClassBase(IID_INmeaSentence, "ZenolithCE.NmeaSentence", kMembers) {}

com::ComPtr<com::IDispatch> NmeaSentence::Make(std::string_view text) {
  com::ComPtr<NmeaSentence> sentence = MakeObject(text);
  return com::ComPtr<com::IDispatch>::Adopt(sentence.Detach());
}

com::ComPtr<NmeaSentence> NmeaSentence::MakeObject(std::string_view text) {
  com::ComPtr<NmeaSentence> result = New();
  if (!result) return {};
  NmeaSentence* sentence = result.get();
  try {
    sentence->SetText(text);
  } catch (const std::bad_alloc&) {
    return {};
  }
  return result;
}

// No lock: a sentence belongs to one thread at a time.
com::HRESULT NmeaSentence::Call(Invocation& call) { return DispatchMember(call); }

void NmeaSentence::SetText(std::string_view text) {
  text_.clear();
  textWithLineEnd_.clear();
  command_.clear();
  fullCommand_.clear();
  fields_.clear();
  fieldsCount_ = 0;
  dirty_ = false;
  split_ = true;
  spanned_ = false;
  if (text.size() < 6) return;

  text_.assign(text);
  command_.assign(text.substr(3, 3));
  fullCommand_.assign(text.substr(1, 5));
  // One pass counts the commas and finds the places of the first fields, by
  // the rule of Split.
  std::size_t commas = 0;
  bool open = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ',') {
      if (open) spans_[commas - 1].length = static_cast<std::uint16_t>(i - spans_[commas - 1].begin);
      open = commas < kSpanFields;
      if (open) spans_[commas].begin = static_cast<std::uint16_t>(i + 1);
      ++commas;
    } else if (c == '*' && open) {
      spans_[commas - 1].length = static_cast<std::uint16_t>(i - spans_[commas - 1].begin);
      open = false;
    }
  }
  if (open) spans_[commas - 1].length = static_cast<std::uint16_t>(text.size() - spans_[commas - 1].begin);
  fieldsCount_ = static_cast<std::int16_t>(std::min<std::size_t>(commas, kMaxFields));
  if (commas <= kSpanFields && text.size() <= UINT16_MAX)
    spanned_ = true;
  else
    split_ = false;  // split on first use: most received sentences are only passed on
}

const std::string& NmeaSentence::Text() {
  if (dirty_) Rebuild();
  return text_;
}

const std::string& NmeaSentence::TextWithLineEnd() {
  const std::string& text = Text();
  if (textWithLineEnd_.empty()) {  // never empty once built: it ends in "\r\n"
    textWithLineEnd_.reserve(text.size() + 2);
    textWithLineEnd_.assign(text).append("\r\n");
  }
  return textWithLineEnd_;
}

bool NmeaSentence::SetCommand(std::string_view command, ErrorRecord& error) {
  // An empty text is what a missing value (an empty variant) converts to.
  if (command.empty()) {
    error.Set(kErrorInvalidArgument, "Null command not allowed");
    return false;
  }
  if (command.size() != 3 && command.size() != 5) {
    error.Set(kErrorInvalidArgument, "Command must be 3 or 5 characters long");
    return false;
  }
  Own();  // the fields must outlive the text they came from
  if (command.size() == 3) {
    command_.assign(command);
    fullCommand_.assign("GP").append(command);
  } else {
    command_.assign(command.substr(2, 3));
    fullCommand_.assign(command);
  }
  dirty_ = true;
  return true;
}

std::optional<std::string_view> NmeaSentence::Field(int index) const {
  if (index < 1 || index > fieldsCount_) return std::nullopt;
  if (spanned_) {
    const Span& span = spans_[index - 1];
    return std::string_view(text_.data() + span.begin, span.length);
  }
  Split();
  const auto it = std::lower_bound(fields_.begin(), fields_.end(), index,
                                   [](const auto& field, int number) { return field.first < number; });
  if (it == fields_.end() || it->first != index) return std::string_view();
  return std::string_view(it->second);
}

void NmeaSentence::StoreField(int index, std::string value) {
  if (index < 1 || index > kMaxFields) return;
  Own();
  const auto it = std::lower_bound(fields_.begin(), fields_.end(), index,
                                   [](const auto& field, int number) { return field.first < number; });
  if (it != fields_.end() && it->first == index)
    it->second = std::move(value);
  else
    fields_.emplace(it, index, std::move(value));
  if (index > fieldsCount_) fieldsCount_ = static_cast<std::int16_t>(index);
  dirty_ = true;
}

void NmeaSentence::SetField(int index, std::string_view value) { StoreField(index, std::string(value)); }

void NmeaSentence::SetField(int index, std::int32_t value) {
  char text[16];
  const int length = std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  StoreField(index, std::string(text, static_cast<std::size_t>(length)));
}

void NmeaSentence::SetField(int index, double value, int decimals) {
  // More than 255 decimals could never show in a rebuilt sentence; the bound
  // keeps a wild count from asking for a huge text.
  decimals = std::min(decimals, 255);
  const int length = decimals < 0 ? std::snprintf(nullptr, 0, "%f", value)
                                  : std::snprintf(nullptr, 0, "%.*f", decimals, value);
  if (length < 0) return;
  std::string text(static_cast<std::size_t>(length), '\0');
  if (decimals < 0)
    std::snprintf(text.data(), text.size() + 1, "%f", value);
  else
    std::snprintf(text.data(), text.size() + 1, "%.*f", decimals, value);
  StoreField(index, std::move(text));
}

int NmeaSentence::Type() const {
  for (const TypeRow& row : kTypes)
    if (SameLetters(command_, row.command)) return row.type;
  return kTypeOther;
}

// Field k runs from just after the k-th comma to the next comma, '*' or the
// end of the text; a '*' inside the text thus ends only its own field.
void NmeaSentence::Split() const {
  if (split_) return;
  fields_.clear();
  fields_.reserve(static_cast<std::size_t>(fieldsCount_));
  const std::string_view text = text_;
  std::size_t comma = text.find(',');
  for (int number = 1; number <= fieldsCount_ && comma != std::string_view::npos; ++number) {
    const std::size_t begin = comma + 1;
    const std::size_t stop = std::min(text.find_first_of(",*", begin), text.size());
    fields_.emplace_back(number, std::string(text.substr(begin, stop - begin)));
    comma = text.find(',', begin);
  }
  split_ = true;
}

// Before an edit: the fields become texts of their own.
void NmeaSentence::Own() {
  if (!spanned_) return Split();
  fields_.clear();
  fields_.reserve(static_cast<std::size_t>(fieldsCount_));
  for (int number = 1; number <= fieldsCount_; ++number) {
    const Span& span = spans_[number - 1];
    fields_.emplace_back(number, text_.substr(span.begin, span.length));
  }
  spanned_ = false;
}

void NmeaSentence::Rebuild() {
  char buffer[kRebuildSize];
  std::size_t length = 0;
  const auto put = [&](std::string_view piece) {
    const std::size_t n = std::min(piece.size(), kRebuildSize - 1 - length);
    std::memcpy(buffer + length, piece.data(), n);
    length += n;
  };
  put("$");
  put(fullCommand_);
  // Fields are in number order, so one pass pairs them with their commas.
  // Every number writes at least its comma: past 255 characters nothing more fits.
  auto field = fields_.begin();
  for (int number = 1; number <= fieldsCount_ && length < kRebuildSize - 1; ++number) {
    put(",");
    while (field != fields_.end() && field->first < number) ++field;
    if (field != fields_.end() && field->first == number) put(field->second);
  }
  unsigned char sum = 0;
  for (std::size_t i = 1; i < length; ++i) sum ^= static_cast<unsigned char>(buffer[i]);
  if (length <= kMaxWithChecksum) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    buffer[length++] = '*';
    buffer[length++] = kHex[sum >> 4];
    buffer[length++] = kHex[sum & 15];
  }
  text_.assign(buffer, length);
  textWithLineEnd_.clear();
  dirty_ = false;
}

void NmeaSentence::GetFields(Invocation& call) {
  const std::optional<std::string_view> field = Field(call.I2(0));
  if (!field) return call.Fail(kErrorIndexOutOfBounds, "Index out of bounds");
  call.result = com::Variant::Bstr(std::string(*field));
}

void NmeaSentence::GetFieldsCount(Invocation& call) { call.result = com::Variant::I2(fieldsCount_); }
void NmeaSentence::GetCommand(Invocation& call) { call.result = com::Variant::Bstr(command_); }
void NmeaSentence::GetFullCommand(Invocation& call) { call.result = com::Variant::Bstr(fullCommand_); }
void NmeaSentence::GetSentence(Invocation& call) { call.result = com::Variant::Bstr(Text()); }
void NmeaSentence::PutSentence(Invocation& call) { SetText(call.Text(0)); }
// Command and FullCommand put are one operation taking either form.
void NmeaSentence::PutCommand(Invocation& call) { SetCommand(call.Text(0), call.error); }

// The index arrives as a 16-bit value; below 1 there is no field to set.
void NmeaSentence::SetFieldMember(Invocation& call) {
  const int index = call.I2(0);
  if (index < 1) return call.Fail(kErrorIndexOutOfBounds, "Index out of bounds");
  SetField(index, std::string_view(call.Text(1)));
}

}  // namespace zenolith
