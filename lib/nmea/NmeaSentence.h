// NmeaSentence: one NMEA 0183 sentence as an editable object (ProgID
// "ZenolithCE.NmeaSentence", interface INmeaSentence): its text, command,
// numbered fields, and the rebuilding of the text with a fresh checksum after
// a field or the command changed. Shared between the parser, the event objects
// and the client; no lock of its own (reading may rebuild the text and split
// the fields, so one sentence is not read by two threads at the same moment).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lib/component/ClassBase.h"

namespace zenolith {

inline constexpr com::IID IID_NmeaSentenceObject = com::MakeGuid("4F1C2B7A-93D5-4E08-B6A1-0C7D9E2F5A38");

// Sentence type codes by command (case ignored).
enum SentenceType : int { kTypeOther = 0, kTypeRMC = 1, kTypeGLL = 2, kTypeGGA = 3, kTypeGSV = 4, kTypeGSA = 5, kTypeVTG = 6 };

class NmeaSentence final : public ClassBase<NmeaSentence, IID_NmeaSentenceObject> {
 public:
  NmeaSentence();

  // A new sentence holding `text` (as a Sentence put); null only when out of memory.
  static com::ComPtr<com::IDispatch> Make(std::string_view text);
  static com::ComPtr<NmeaSentence> MakeObject(std::string_view text);  // the same as its C++ object

  void SetText(std::string_view text);  // clears first; under 6 characters the sentence stays empty
  const std::string& Text();            // rebuilt first when a field or the command changed
  const std::string& TextWithLineEnd();
  const std::string& Command() const { return command_; }
  const std::string& FullCommand() const { return fullCommand_; }
  // "GGA" (talker GP) or "GPGGA"; the fields are kept and the text is
  // rebuilt when next read. Empty (no value): false with 10003 "Null command
  // not allowed"; another length: false with 10003 "Command must be 3 or 5
  // characters long". A failed call changes nothing.
  bool SetCommand(std::string_view command, ErrorRecord& error);
  std::int16_t FieldsCount() const { return fieldsCount_; }
  // Field `index` (1-based): empty text for a field not present up to
  // FieldsCount, nothing above it (or below 1). The view lives until the
  // sentence is changed.
  std::optional<std::string_view> Field(int index) const;
  // Stores field `index` (1 to kMaxFields; other indexes are ignored) and
  // raises FieldsCount to `index` when it was lower; fields in between read
  // as empty. The text is rebuilt when next read.
  void SetField(int index, std::string_view value);
  void SetField(int index, std::int32_t value);  // "%d"
  // Fixed point with `decimals` decimals (at most 255), six when negative.
  void SetField(int index, double value, int decimals);
  int Type() const;

  // FieldsCount is a signed 16-bit count: a text with more commas keeps the
  // first kMaxFields fields.
  static constexpr int kMaxFields = 32767;

 protected:
  com::HRESULT Call(Invocation& call) override;  // without the lock

 private:
  // Implementation details are the sentence room's own.
  void Split() const;
  void Own();
  void Rebuild();
  void StoreField(int index, std::string value);

  static const MemberRow<NmeaSentence> kMembers[];
  void GetFields(Invocation& call);
  void GetFieldsCount(Invocation& call);
  void GetCommand(Invocation& call);
  void GetSentence(Invocation& call);
  void PutCommand(Invocation& call);
  void PutSentence(Invocation& call);
  void SetFieldMember(Invocation& call);
  void GetFullCommand(Invocation& call);

  // A received text's fields are places in text_, found while it is set:
  // reading them copies nothing. A text with more fields than fit, and every
  // sentence once edited, keeps its fields as texts of their own instead.
  struct Span {
    std::uint16_t begin, length;
  };
  static constexpr int kSpanFields = 24;

  std::string text_;
  std::string textWithLineEnd_;
  std::string command_, fullCommand_;
  Span spans_[kSpanFields];
  bool spanned_ = false;                                     // the fields are spans_
  mutable std::vector<std::pair<int, std::string>> fields_;  // tagged with their numbers, kept in number order
  std::int16_t fieldsCount_ = 0;
  bool dirty_ = false;
  mutable bool split_ = true;
};

}  // namespace zenolith
