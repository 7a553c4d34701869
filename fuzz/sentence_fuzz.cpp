// libFuzzer target: a random series of edits on one NmeaSentence, half
// through C++ and half through its dispatch interface as a client would call
// it (wild indexes, texts of any length, numbers with any decimals).
//
// Checks after each step: FieldsCount stays within 0..32767, every field up
// to it exists and none above, a rebuilt text stays within 255 characters,
// begins with "$" and the full command, and its "*hh" is the XOR of the
// characters before it. Every record reads the sentence as it stands:
// finite field values (a sum or difference of two fields may overflow),
// places within their ranges, GSV blocks within the fields.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <fuzzer/FuzzedDataProvider.h>

#include "lib/component/Identifiers.h"
#include "lib/nmea/NmeaSentence.h"
#include "lib/nmea/SentenceRecords.h"
#include "platform/com/Variant.h"

namespace {

using com::Variant;
using zenolith::NmeaSentence;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "sentence_fuzz: %s\n", what);
  std::abort();
}

void CheckRebuilt(const std::string& text, const std::string& fullCommand) {
  Check(text.size() <= 255, "a rebuilt text has at most 255 characters");
  const std::string head = ("$" + fullCommand).substr(0, 255);
  Check(text.compare(0, head.size(), head) == 0, "a rebuilt text starts with $ and the full command");
  // Below 253 characters the text must carry its "*hh" (a text without one
  // has more than 252); from 253 on, either form can be.
  if (text.size() >= 253) return;
  Check(text.size() >= 4 && text[text.size() - 3] == '*', "a short rebuilt text has a checksum");
  unsigned char sum = 0;
  for (std::size_t i = 1; i + 3 < text.size(); ++i) sum ^= static_cast<unsigned char>(text[i]);
  static constexpr char kHex[] = "0123456789ABCDEF";
  Check(text[text.size() - 2] == kHex[sum >> 4] && text[text.size() - 1] == kHex[sum & 15], "the checksum is the XOR");
}

void CheckPlace(const zenolith::Place& place) {
  Check(std::fabs(place.latitude) <= 1.5708 && std::fabs(place.longitude) <= 3.1416, "a place within its ranges");
  Check(std::isfinite(place.aboveSeaLevel), "a finite altitude");
}

void CheckRecords(const NmeaSentence& s) {
  const zenolith::GgaRecord gga = zenolith::ParseGga(s);
  CheckPlace(gga.place);
  Check(std::isfinite(gga.hdop), "a finite HDOP");
  CheckPlace(zenolith::ParseGll(s).place);
  const zenolith::RmcRecord rmc = zenolith::ParseRmc(s);
  CheckPlace(rmc.place);
  Check(std::isfinite(rmc.knots) && std::isfinite(rmc.heading) && std::isfinite(rmc.magneticVariation),
        "finite RMC values");
  const zenolith::VtgRecord vtg = zenolith::ParseVtg(s);
  Check(std::isfinite(vtg.knots) && std::isfinite(vtg.heading), "finite VTG values");
  const zenolith::GsaRecord gsa = zenolith::ParseGsa(s);
  Check(std::isfinite(gsa.pdop) && std::isfinite(gsa.hdop) && std::isfinite(gsa.vdop), "finite dilutions");
  const zenolith::GsvRecord gsv = zenolith::ParseGsv(s);
  Check(gsv.blocks == 0 || (gsv.blocks > 0 && 4 * gsv.blocks < s.FieldsCount()), "GSV blocks begin within the fields");
  for (int block = 0; block < gsv.blocks && block < 16; ++block) (void)zenolith::ParseGsvSatellite(s, block);
}

void CheckState(NmeaSentence& s, bool rebuilt) {
  Check(s.FieldsCount() >= 0 && s.FieldsCount() <= NmeaSentence::kMaxFields, "FieldsCount in range");
  Check(!s.Field(0) && !s.Field(-1) && !s.Field(s.FieldsCount() + 1), "no field outside the count");
  const int probe = s.FieldsCount() < 64 ? s.FieldsCount() : 64;
  for (int i = 1; i <= probe; ++i) Check(s.Field(i).has_value(), "every field up to the count");
  if (s.FieldsCount() > 0) Check(s.Field(s.FieldsCount()).has_value(), "the last field exists");
  const std::string& text = s.Text();
  if (rebuilt) CheckRebuilt(text, s.FullCommand());
  const std::string& withEnd = s.TextWithLineEnd();
  Check(withEnd.size() == text.size() + 2 && withEnd.compare(0, text.size(), text) == 0, "line end appended");
  Check(s.Type() >= 0 && s.Type() <= 6, "a known type code");
  CheckRecords(s);
}

com::HRESULT Invoke(com::IDispatch* object, com::DispId id, std::uint16_t flags, Variant* args, std::size_t count) {
  Variant result;
  return object->Invoke(id, flags, {args, count}, &result);
}

Variant AnyVariant(FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange(0, 4)) {
    case 0: return Variant();
    case 1: return Variant::I2(input.ConsumeIntegral<std::int16_t>());
    case 2: return Variant::I4(input.ConsumeIntegral<std::int32_t>());
    case 3: return Variant::R8(input.ConsumeFloatingPoint<double>());
    default: return Variant::Bstr(input.ConsumeRandomLengthString(300));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  com::ComPtr<com::IDispatch> object;
  if (com::Failed(NmeaSentence::Create(zenolith::IID_INmeaSentence, object.PutVoid()))) std::abort();
  NmeaSentence& s = *NmeaSentence::From(object.get());
  bool rebuilt = false;  // the text was built from fields since it was last set

  for (int step = 0; step < 64 && input.remaining_bytes() > 0; ++step) {
    const int index = input.ConsumeBool() ? input.ConsumeIntegralInRange(-3, 40) : input.ConsumeIntegral<int>();
    switch (input.ConsumeIntegralInRange(0, 10)) {
      case 0:
        s.SetText(input.ConsumeRandomLengthString(600));
        rebuilt = false;
        break;
      case 1: {
        zenolith::ErrorRecord error;
        const std::string command = input.ConsumeRandomLengthString(8);
        const bool ok = s.SetCommand(command, error);
        Check(ok == (command.size() == 3 || command.size() == 5), "command lengths");
        Check(ok != error.IsSet(), "a failed command fills the error");
        rebuilt = rebuilt || ok;
        break;
      }
      case 2: {
        const int before = s.FieldsCount();
        s.SetField(index, input.ConsumeRandomLengthString(300));
        if (index >= 1 && index <= NmeaSentence::kMaxFields) {
          Check(s.FieldsCount() == (index > before ? index : before), "FieldsCount grows to the index");
          rebuilt = true;
        } else {
          Check(s.FieldsCount() == before, "a bad index changes nothing");
        }
        break;
      }
      case 3:
        s.SetField(index, input.ConsumeIntegral<std::int32_t>());
        rebuilt = rebuilt || (index >= 1 && index <= NmeaSentence::kMaxFields);
        break;
      case 4: {
        const double value = input.ConsumeFloatingPoint<double>();
        s.SetField(index, value, input.ConsumeIntegralInRange(-5, 400));
        rebuilt = rebuilt || (index >= 1 && index <= NmeaSentence::kMaxFields);
        break;
      }
      case 5: (void)s.Field(index); break;
      case 6: {  // Fields(Index) get
        Variant args[1] = {AnyVariant(input)};
        (void)Invoke(object.get(), 1, com::kInvokePropertyGet, args, 1);
        break;
      }
      case 7: {  // SetField(Index, Value)
        Variant args[2] = {AnyVariant(input), AnyVariant(input)};
        if (com::Succeeded(Invoke(object.get(), 5, com::kInvokeMethod, args, 2))) rebuilt = true;
        break;
      }
      case 8: {  // Command or FullCommand put
        Variant args[1] = {AnyVariant(input)};
        if (com::Succeeded(Invoke(object.get(), input.ConsumeBool() ? 3 : 6, com::kInvokePropertyPut, args, 1)))
          rebuilt = true;
        break;
      }
      case 9: {  // Sentence put
        Variant args[1] = {AnyVariant(input)};
        if (com::Succeeded(Invoke(object.get(), 4, com::kInvokePropertyPut, args, 1))) rebuilt = false;
        break;
      }
      default: {  // every get, with arguments of any count
        Variant args[2] = {AnyVariant(input), AnyVariant(input)};
        const auto id = static_cast<com::DispId>(input.ConsumeIntegralInRange(0, 7));
        (void)Invoke(object.get(), id, com::kInvokePropertyGet, args, input.ConsumeIntegralInRange<std::size_t>(0, 2));
        break;
      }
    }
    CheckState(s, rebuilt);
  }
  return 0;
}
