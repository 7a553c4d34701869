// An opened reply stream as the XML reader's source, so that XML replies are
// read as they arrive. The stream stays open; the reader's Close leaves it.
#pragma once

#include "app/core/XmlReader.h"
#include "app/online/ReplyStream.h"

namespace rovana {

class ReplyXmlSource final : public XmlSource {
 public:
  explicit ReplyXmlSource(ReplyStream& stream) : XmlSource({}, "reply"), stream_(stream) {}
  bool Open() override { return true; }
  long Read(void* buffer, std::size_t size) override {
    const StreamRead r = stream_.Read(static_cast<char*>(buffer), size);
    return r.ok ? static_cast<long>(r.bytes) : -1;
  }
  void Close() override {}

 private:
  ReplyStream& stream_;
};

}  // namespace rovana
