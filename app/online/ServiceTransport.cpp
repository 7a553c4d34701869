#include "app/online/ServiceTransport.h"

#include "app/core/Log.h"
#include "app/online/HttpRequest.h"
#include "app/online/OnlineConnection.h"

namespace rovana {

Transport HttpTransport(OnlineConnection& connection, std::size_t cap) {
  return [&connection, cap](const ServiceRequest& r) -> std::optional<std::string> {
    HttpRequest request(connection, r.host, r.path, r.kind);
    if (!request.Open()) return std::nullopt;
    std::string body;
    char buffer[8192];
    for (;;) {
      const StreamRead read = request.Read(buffer, sizeof buffer);
      if (!read.ok) return std::nullopt;
      if (read.bytes == 0) return body;
      body.append(buffer, read.bytes);
      if (body.size() > cap) {
        LogMessage("Web service: a reply over %zu bytes dropped", cap);
        return std::nullopt;
      }
    }
  };
}

}  // namespace rovana
