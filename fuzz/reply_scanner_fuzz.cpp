// libFuzzer target: arbitrary bytes as a reply through the ReplyScanner, read
// in pieces of a size the input chooses and again in one piece. Besides
// memory safety it checks that every capture is well-formed UTF-8 shorter than
// its capacity, that the value readers give well-formed UTF-8 and finite
// numbers, that entity decoding keeps well-formed text well-formed, and that
// the pieces and the whole scan alike.
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "app/online/Entities.h"
#include "app/online/ReplyScanner.h"
#include "fuzz/FuzzCheck.h"

namespace {

constexpr const char* kTarget = "reply_scanner_fuzz";

class PieceStream final : public rovana::ReplyStream {
 public:
  PieceStream(const std::string& bytes, std::size_t piece) : bytes_(bytes), piece_(piece) {}
  bool Open() override { return true; }
  void Close() override {}
  rovana::StreamRead Read(char* buffer, std::size_t length) override {
    const std::size_t n = std::min({length, piece_, bytes_.size() - at_});
    bytes_.copy(buffer, n, at_);
    at_ += n;
    return {true, n};
  }

 private:
  const std::string& bytes_;
  std::size_t piece_;
  std::size_t at_ = 0;
};

// Scans the reply for objects, then for the marker with a capture, and
// returns everything it saw.
std::vector<std::string> Scan(const std::string& reply, std::size_t piece, const std::string& marker,
                              std::size_t capacity, const std::string& key) {
  std::vector<std::string> seen;
  PieceStream stream(reply, piece);
  rovana::ReplyScanner scanner(stream);
  for (int i = 0; i < 4; ++i) {
    const std::optional<std::string> object = scanner.ObjectText(capacity);
    if (!object) break;
    fuzz::Check(capacity == 0 ? object->empty() : object->size() < capacity, kTarget, "object beyond its capacity");
    fuzz::Check(fuzz::IsUtf8(*object), kTarget, "object text is not UTF-8");
    const std::string value = rovana::ValueOf(*object, key);
    fuzz::Check(fuzz::IsUtf8(value), kTarget, "value is not UTF-8");
    fuzz::Check(std::isfinite(rovana::NumberOf(*object, key)), kTarget, "number is not finite");
    (void)rovana::FlagOf(*object, key);
    seen.push_back(*object);
    seen.push_back(value);
  }
  std::string capture;
  const bool found = scanner.ScanTo(marker, &capture, capacity);
  fuzz::Check(capacity == 0 ? capture.empty() : capture.size() < capacity, kTarget, "capture beyond its capacity");
  fuzz::Check(fuzz::IsUtf8(capture), kTarget, "capture is not UTF-8");
  seen.push_back(found ? "found" : "not found");
  seen.push_back(capture);
  return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::size_t capacity = input.ConsumeIntegralInRange<std::size_t>(0, 700);
  const std::size_t piece = input.ConsumeIntegralInRange<std::size_t>(1, 300);
  const std::string marker = input.ConsumeRandomLengthString(8);
  const std::string key = input.ConsumeRandomLengthString(8);
  const std::string reply = input.ConsumeRemainingBytesAsString();

  const std::vector<std::string> pieces = Scan(reply, piece, marker, capacity, key);
  const std::vector<std::string> whole = Scan(reply, reply.size() + 1, marker, capacity, key);
  fuzz::Check(pieces == whole, kTarget, "pieces and the whole scan differently");

  const std::string decoded = rovana::DecodeEntities(reply);
  if (fuzz::IsUtf8(reply)) fuzz::Check(fuzz::IsUtf8(decoded), kTarget, "decoding broke well-formed text");
  fuzz::Check(fuzz::IsUtf8(rovana::ValueOf(reply, key)), kTarget, "value of the whole reply is not UTF-8");
  return 0;
}
