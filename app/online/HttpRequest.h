// One online request: made per call, opened, read to the end and destroyed.
//
//   HttpRequest request(online, "https://tiles.example.org", "/online/os.asp?a=gm", 1);
//   request.prepare = session.Preparer();  // permission check and query suffix
//   if (request.Open()) ... read it, or SaveToFile(request, file) ...
//
// Opening runs, in this order: the prepare hook (which may refuse: then
// nothing is sent and nothing logged), the connection check of the shared
// OnlineConnection, the reset generation ("reinit occurred" when a Reset()
// came after the request was made), then the transfer. A reply whose status
// is not 2xx does not open. Each failure is logged ("fail on ..." with the
// host and the path, its "p=" value masked) and makes Open() false; there are
// no retries here. Reading needs allowInternet: a read while it is false
// fails, and a failed read closes the request.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/online/OnlineConnection.h"
#include "app/online/ReplyStream.h"
#include "platform/http/HttpTransfer.h"

namespace rovana {

// Service kinds: 0 a public service (and login); 1 to 7 the kinds of the
// application's own web service, each governed by its own setting.
inline constexpr int kPublicService = 0;

class HttpRequest final : public ReplyStream {
 public:
  // Returns the path to send (the request's path with whatever it adds), or
  // nothing to refuse the request without traffic.
  using Prepare = std::function<std::optional<std::string>(const HttpRequest&)>;

  // `host`: "scheme://host[:port]" ("http://" is assumed without a scheme).
  // `path`: path and query, from "/". `headers`: extra header lines
  // ("Name: value", separated by CR LF or LF), or empty. `body`: present
  // makes the request a POST. The generation is taken now.
  HttpRequest(OnlineConnection& online, std::string host, std::string path, int kind = kPublicService,
              std::string headers = {}, std::optional<std::string> body = std::nullopt);
  ~HttpRequest() override;
  HttpRequest(const HttpRequest&) = delete;
  HttpRequest& operator=(const HttpRequest&) = delete;

  Prepare prepare;

  bool Open() override;
  void Close() override;
  StreamRead Read(char* buffer, std::size_t length) override;

  // The largest reply accepted (the connection's default unless set).
  void setReplyCap(std::size_t bytes) { options_.replyCap = bytes; }
  // With true, a reply of any status opens (a 304 to a revalidation, an
  // error page the caller reads); status() tells which it was.
  void setAcceptAnyStatus(bool accept) { acceptAnyStatus_ = accept; }
  // A header of the reply (case-insensitive name), once opened.
  std::optional<std::string> replyHeader(std::string_view name) const { return transfer_.header(name); }

  const std::string& host() const { return host_; }
  const std::string& path() const { return path_; }
  const std::string& sentPath() const { return sentPath_; }  // after prepare, once opened
  int kind() const { return kind_; }
  // The request went out (prepare and the connection check let it pass).
  bool sent() const { return !sentPath_.empty(); }
  const std::string& headers() const { return headers_; }
  const std::optional<std::string>& body() const { return body_; }
  std::uint32_t generation() const { return generation_; }
  int status() const { return transfer_.status(); }  // 0 until a reply came
  std::uint64_t bytesReceived() const { return bytesReceived_; }
  std::uint64_t bytesAvailable() const { return transfer_.buffered(); }
  std::uint64_t requestBytes() const { return requestBytes_; }

 private:
  void LogFailure(const char* step, const std::string& why) const;

  OnlineConnection& online_;
  std::string host_;
  std::string path_;
  int kind_;
  std::string headers_;
  std::optional<std::string> body_;
  std::uint32_t generation_;
  platform::HttpOptions options_;
  platform::HttpTransfer transfer_;
  std::string sentPath_;
  std::uint64_t bytesReceived_ = 0;
  std::uint64_t requestBytes_ = 0;
  bool acceptAnyStatus_ = false;
};

// One GET whose body is saved to `file` whatever its status (through
// SaveToFile: a temporary file renamed when complete), for downloads that
// check the reply themselves, such as map tiles and their revalidation.
struct FileFetch {
  std::string host;  // "scheme://host[:port]"
  std::string path;  // from "/"
  int kind = kPublicService;
  std::vector<std::string> headers;  // "Name: value" each
  std::filesystem::path file;
  std::uint64_t cap = 2 * 1024 * 1024;
  HttpRequest::Prepare prepare;  // may refuse the request
};
struct FileFetchResult {
  enum class Outcome {
    kReceived,  // a reply came; `saved` says whether the whole body is in the file
    kRefused,   // nothing sent: refused by prepare, internet not allowed or offline
    kFailed,    // sent, but the reply did not come (connection, time-out, broken off, too large)
  };
  Outcome outcome = Outcome::kFailed;
  int status = 0;
  bool saved = false;
  std::uint64_t bytes = 0;
  // Reply headers for HTTP caching and the completeness check.
  std::optional<std::string> etag, lastModified, cacheControl, expires, contentLength;
};
FileFetchResult FetchToFile(OnlineConnection& online, const FileFetch& fetch);

// `path` with the value of every "p=" query parameter (a password) masked as
// "***", for the log.
std::string MaskPassword(const std::string& path);

// Header lines of a CR LF or LF separated text, empty lines dropped.
std::vector<std::string> SplitHeaderLines(const std::string& headers);

}  // namespace rovana
