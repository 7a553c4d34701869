// One blocking HTTP or HTTPS transfer on libcurl, read as a stream.
//
//   platform::HttpTransfer t;
//   if (t.Open({"http://127.0.0.1:8080", "/online/os.asp?a=gm"})) {
//     char buffer[256];
//     for (platform::HttpRead r; (r = t.Read(buffer, sizeof buffer)).ok && r.bytes > 0;) use(buffer, r.bytes);
//   }
//
// Open() sends the request and waits until the status line and the headers
// of the final reply (after redirects) are in; Read() then hands out the body
// as it arrives. Read() returns 0 bytes only at the real end of a complete
// reply: a reply broken off before its announced length, one larger than the
// cap, or a stalled one fails instead (ok false), after the bytes that did
// arrive within the cap.
//
// The agent name is "Rovana"; proxies come from the environment (http_proxy,
// https_proxy, no_proxy, as libcurl reads them); HTTPS verifies the peer and
// its host name. Nothing throws. Each thread uses its own objects; the
// library's global set-up runs once for the whole program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

inline constexpr const char* kHttpUserAgent = "Rovana";
inline constexpr long kHttpConnectTimeoutMs = 25000;
inline constexpr std::size_t kHttpDefaultReplyCap = 1024 * 1024;

struct HttpOptions {
  long connectTimeoutMs = kHttpConnectTimeoutMs;
  // A reply that sends no byte for this long fails (0: wait for ever).
  long stallTimeoutMs = 60000;
  // The most body bytes accepted; a larger reply fails.
  std::size_t replyCap = kHttpDefaultReplyCap;
  // A PEM file of the certificates trusted for HTTPS instead of the system's
  // (a test's own authority); empty: the system's store.
  std::string caFile;
  int maxRedirects = 5;
};

struct HttpRequestLine {
  std::string base;  // "scheme://host[:port]", scheme http or https
  std::string path;  // starts with "/"; path and query
  std::vector<std::string> headers = {};  // "Name: value" each
  std::optional<std::string> body = {};   // present: POST with this body, else GET
};

// Why a transfer failed, in the order its steps run.
enum class HttpFailure {
  kNone,
  kSetup,      // the library could not be set up (out of memory)
  kBadUrl,     // the base or path is not a usable http(s) address
  kConnect,    // name lookup, connection, time-out or TLS handshake
  kSend,       // sending the request or receiving the reply headers
  kTooLarge,   // the reply is larger than the cap
  kBrokenOff,  // the reply ended early or stalled
};
const char* HttpFailureName(HttpFailure failure);

struct HttpRead {
  bool ok = false;
  std::size_t bytes = 0;
};

class HttpTransfer {
 public:
  HttpTransfer();
  ~HttpTransfer();
  HttpTransfer(const HttpTransfer&) = delete;
  HttpTransfer& operator=(const HttpTransfer&) = delete;

  // Sends the request; true when a reply's headers have come in, whatever its
  // status. False with failure() and error() set otherwise. An open transfer
  // is closed first.
  bool Open(const HttpRequestLine& request, const HttpOptions& options = {});

  // Copies up to `length` body bytes into `buffer`, waiting for them when
  // none are buffered. {true, 0} only at the end of a complete reply (or for
  // a length of 0); {false, 0} when the transfer failed or is not open.
  HttpRead Read(char* buffer, std::size_t length);

  // Ends the transfer (an unread rest is dropped); safe to call twice.
  void Close();

  bool isOpen() const;
  int status() const { return status_; }              // the final reply's status code, 0 before
  std::size_t buffered() const;                       // body bytes received and not yet read
  std::uint64_t received() const { return received_; }  // body bytes received so far
  HttpFailure failure() const { return failure_; }
  const std::string& error() const { return error_; }  // the library's words for the failure
  // The value of the final reply's header `name` (case-insensitive), spaces
  // around it trimmed; nothing when absent. At most kMaxReplyHeaders lines
  // of 1024 bytes each are kept.
  std::optional<std::string> header(std::string_view name) const;
  static constexpr std::size_t kMaxReplyHeaders = 64;

 private:
  struct Handles;
  static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self);
  bool Pump();  // one round of the transfer without waiting; false once it is done
  void Wait();  // until the sockets have news, at most 200 ms
  void Fail(HttpFailure failure, std::string error);
  void Finish(int code);

  std::unique_ptr<Handles> handles_;
  std::string buffer_;
  std::size_t readPos_ = 0;
  std::size_t cap_ = kHttpDefaultReplyCap;
  std::uint64_t received_ = 0;
  int status_ = 0;
  std::vector<std::string> replyHeaders_;  // "Name: value" of the block being read, then of the final reply
  int blockStatus_ = 0;     // status of the header block being read
  bool blockMoves_ = false;  // that block names a Location to follow
  bool headersDone_ = false;
  bool done_ = false;
  bool tooLarge_ = false;
  bool follow_ = true;
  HttpFailure failure_ = HttpFailure::kNone;
  std::string error_;
};

}  // namespace platform
