#include "platform/http/HttpTransfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string_view>

namespace platform {
namespace {

// libcurl's global set-up is not safe to race with itself; the first
// transfer of the program does it, and it stays until the program ends.
bool GlobalInit() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ok;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// Spaces and control characters would let a path smuggle a second request
// line or header into what goes on the wire.
bool HasControlOrSpace(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7F;
  });
}

// The failures before any reply header: which step of the sequence broke.
HttpFailure EarlyFailure(CURLcode code) {
  switch (code) {
    // The scheme was checked before; an "unsupported protocol" now is a
    // server that answered without HTTP (HTTP/0.9 is refused).
    case CURLE_URL_MALFORMAT:
      return HttpFailure::kBadUrl;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
      return HttpFailure::kConnect;
    case CURLE_FILESIZE_EXCEEDED:
      return HttpFailure::kTooLarge;
    case CURLE_OUT_OF_MEMORY:
      return HttpFailure::kSetup;
    default:
      return HttpFailure::kSend;
  }
}

}  // namespace

const char* HttpFailureName(HttpFailure failure) {
  switch (failure) {
    case HttpFailure::kNone: return "none";
    case HttpFailure::kSetup: return "setup";
    case HttpFailure::kBadUrl: return "bad address";
    case HttpFailure::kConnect: return "connect";
    case HttpFailure::kSend: return "send";
    case HttpFailure::kTooLarge: return "reply too large";
    case HttpFailure::kBrokenOff: return "reply broken off";
  }
  return "?";
}

struct HttpTransfer::Handles {
  CURL* easy = nullptr;
  CURLM* multi = nullptr;
  curl_slist* headers = nullptr;
  bool added = false;
  std::string url;
  std::string body;
  char error[CURL_ERROR_SIZE] = {};

  ~Handles() {
    if (added) curl_multi_remove_handle(multi, easy);
    if (easy) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
    curl_slist_free_all(headers);
  }
};

HttpTransfer::HttpTransfer() = default;
HttpTransfer::~HttpTransfer() { Close(); }

bool HttpTransfer::isOpen() const { return handles_ != nullptr; }
std::size_t HttpTransfer::buffered() const { return buffer_.size() - readPos_; }

void HttpTransfer::Fail(HttpFailure failure, std::string error) {
  failure_ = failure;
  error_ = std::move(error);
}

void HttpTransfer::Close() {
  handles_.reset();
  buffer_.clear();
  readPos_ = 0;
}

bool HttpTransfer::Open(const HttpRequestLine& request, const HttpOptions& options) {
  Close();
  received_ = 0;
  status_ = blockStatus_ = 0;
  replyHeaders_.clear();
  blockMoves_ = headersDone_ = done_ = tooLarge_ = false;
  failure_ = HttpFailure::kNone;
  error_.clear();
  cap_ = options.replyCap;
  follow_ = options.maxRedirects > 0;

  if (!GlobalInit()) {
    Fail(HttpFailure::kSetup, "the HTTP library could not be set up");
    return false;
  }
  std::string_view base = request.base;
  while (!base.empty() && base.back() == '/') base.remove_suffix(1);
  const bool http = StartsWithNoCase(base, "http://"), https = StartsWithNoCase(base, "https://");
  const std::size_t hostStart = https ? 8 : 7;
  if ((!http && !https) || base.size() <= hostStart || base.find('/', hostStart) != std::string_view::npos ||
      HasControlOrSpace(base) || request.path.empty() || request.path.front() != '/' ||
      HasControlOrSpace(request.path)) {
    Fail(HttpFailure::kBadUrl, "not an http(s) address: " + std::string(base) + request.path);
    return false;
  }

  auto handles = std::make_unique<Handles>();
  handles->easy = curl_easy_init();
  handles->multi = curl_multi_init();
  if (!handles->easy || !handles->multi) {
    Fail(HttpFailure::kSetup, "out of memory");
    return false;
  }
  CURL* easy = handles->easy;
  handles->url = std::string(base) + request.path;
  curl_easy_setopt(easy, CURLOPT_URL, handles->url.c_str());
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, handles->error);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, kHttpUserAgent);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);  // several threads: no SIGALRM for name look-ups
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, options.connectTimeoutMs);
  if (options.stallTimeoutMs > 0) {
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, std::max(1L, (options.stallTimeoutMs + 999) / 1000));
  }
  if (follow_) {
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(options.maxRedirects));
  }
  // A proxy's "200 Connection established" for an HTTPS tunnel is not the reply.
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  // A reply that announces more than the cap fails before its body is read.
  curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(cap_));
  if (!options.caFile.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, options.caFile.c_str());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HttpTransfer::OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &HttpTransfer::OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);

  for (const std::string& header : request.headers) {
    if (header.empty() || header.find_first_of("\r\n") != std::string::npos) continue;
    curl_slist* more = curl_slist_append(handles->headers, header.c_str());
    if (!more) {
      Fail(HttpFailure::kSetup, "out of memory");
      return false;
    }
    handles->headers = more;
  }
  if (request.body) {
    handles->body = *request.body;
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, handles->body.data());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(handles->body.size()));
    // Waiting for "100 Continue" costs a second with servers that never send it.
    if (curl_slist* more = curl_slist_append(handles->headers, "Expect:")) handles->headers = more;
  }
  if (handles->headers) curl_easy_setopt(easy, CURLOPT_HTTPHEADER, handles->headers);

  if (curl_multi_add_handle(handles->multi, easy) != CURLM_OK) {
    Fail(HttpFailure::kSetup, "the transfer could not be started");
    return false;
  }
  handles->added = true;
  handles_ = std::move(handles);

  while (Pump() && !headersDone_) Wait();
  if (headersDone_) return true;
  if (failure_ == HttpFailure::kNone) Fail(HttpFailure::kSend, "the server sent no reply headers");
  Close();
  return false;
}

bool HttpTransfer::Pump() {
  if (done_ || !handles_) return false;
  int running = 0;
  const CURLMcode step = curl_multi_perform(handles_->multi, &running);
  if (step != CURLM_OK) {
    done_ = true;
    Fail(headersDone_ ? HttpFailure::kBrokenOff : HttpFailure::kSend, curl_multi_strerror(step));
    return false;
  }
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(handles_->multi, &left))
    if (message->msg == CURLMSG_DONE) Finish(message->data.result);
  return !done_;
}

void HttpTransfer::Wait() {
  if (!done_ && handles_) curl_multi_poll(handles_->multi, nullptr, 0, 200, nullptr);
}

void HttpTransfer::Finish(int result) {
  done_ = true;
  const auto code = static_cast<CURLcode>(result);
  long status = 0;
  if (curl_easy_getinfo(handles_->easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && headersDone_ && status > 0)
    status_ = static_cast<int>(status);
  if (code == CURLE_OK && !tooLarge_) return;
  std::string words = handles_->error[0] ? handles_->error : curl_easy_strerror(code);
  if (tooLarge_ || code == CURLE_FILESIZE_EXCEEDED)
    Fail(HttpFailure::kTooLarge, "the reply is larger than " + std::to_string(cap_) + " bytes");
  else if (headersDone_)
    Fail(HttpFailure::kBrokenOff, std::move(words));
  else
    Fail(EarlyFailure(code), std::move(words));
}

std::size_t HttpTransfer::OnHeader(char* data, std::size_t size, std::size_t count, void* self) {
  auto* t = static_cast<HttpTransfer*>(self);
  const std::string_view line(data, size * count);
  if (StartsWithNoCase(line, "http/")) {
    // "HTTP/1.1 200 OK": a new block, perhaps after a 1xx or a redirect.
    const std::size_t space = line.find(' ');
    int status = 0;
    for (std::size_t i = space == std::string_view::npos ? line.size() : space + 1;
         i < line.size() && line[i] >= '0' && line[i] <= '9' && status < 1000; ++i)
      status = status * 10 + (line[i] - '0');
    t->blockStatus_ = status;
    t->blockMoves_ = false;
    t->replyHeaders_.clear();
  } else if (line == "\r\n" || line == "\n") {
    const bool interim = t->blockStatus_ < 200;
    const bool redirect = t->follow_ && t->blockMoves_ && t->blockStatus_ >= 300 && t->blockStatus_ < 400;
    if (!interim && !redirect) {
      t->headersDone_ = true;
      t->status_ = t->blockStatus_;
    }
  } else {
    if (StartsWithNoCase(line, "location:")) t->blockMoves_ = true;
    std::string_view kept = line.substr(0, std::min<std::size_t>(line.size(), 1024));
    while (!kept.empty() && (kept.back() == '\r' || kept.back() == '\n')) kept.remove_suffix(1);
    if (!t->headersDone_ && t->replyHeaders_.size() < kMaxReplyHeaders) t->replyHeaders_.emplace_back(kept);
  }
  return size * count;
}

std::size_t HttpTransfer::OnBody(char* data, std::size_t size, std::size_t count, void* self) {
  auto* t = static_cast<HttpTransfer*>(self);
  const std::size_t n = size * count;
  const std::size_t room = t->received_ >= t->cap_ ? 0 : static_cast<std::size_t>(t->cap_ - t->received_);
  if (t->readPos_ > 0 && t->readPos_ == t->buffer_.size()) {
    t->buffer_.clear();
    t->readPos_ = 0;
  }
  const std::size_t take = std::min(n, room);
  t->buffer_.append(data, take);
  t->received_ += take;
  if (take < n) {
    t->tooLarge_ = true;
    return 0;  // ends the transfer with a write error
  }
  return n;
}

std::optional<std::string> HttpTransfer::header(std::string_view name) const {
  for (const std::string& line : replyHeaders_) {
    const std::size_t colon = line.find(':');
    if (colon != name.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size() && same; ++i) {
      char a = line[i], b = name[i];
      if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
      if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
      same = a == b;
    }
    if (!same) continue;
    std::string_view value = std::string_view(line).substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    return std::string(value);
  }
  return std::nullopt;
}

HttpRead HttpTransfer::Read(char* buffer, std::size_t length) {
  if (!handles_) return {false, 0};
  if (length == 0) return {true, 0};
  while (buffered() == 0 && Pump() && buffered() == 0) Wait();
  const std::size_t n = std::min(length, buffered());
  if (n > 0) {
    std::memcpy(buffer, buffer_.data() + readPos_, n);
    readPos_ += n;
    if (readPos_ == buffer_.size()) {
      buffer_.clear();
      readPos_ = 0;
    } else if (readPos_ > 65536 && readPos_ * 2 > buffer_.size()) {
      buffer_.erase(0, readPos_);
      readPos_ = 0;
    }
    return {true, n};
  }
  return {failure_ == HttpFailure::kNone, 0};
}

}  // namespace platform
