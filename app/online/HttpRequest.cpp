#include "app/online/HttpRequest.h"

#include "app/core/Log.h"
#include "app/online/SaveToFile.h"

namespace rovana {

std::string MaskPassword(const std::string& path) {
  std::string out;
  out.reserve(path.size());
  const std::size_t query = path.find('?');
  if (query == std::string::npos) return path;
  out.append(path, 0, query + 1);
  std::size_t at = query + 1;
  while (at <= path.size()) {
    std::size_t end = path.find('&', at);
    if (end == std::string::npos) end = path.size();
    const std::string_view field(path.data() + at, end - at);
    if (field.substr(0, 2) == "p=")
      out += "p=***";
    else
      out += field;
    if (end == path.size()) break;
    out += '&';
    at = end + 1;
  }
  return out;
}

std::vector<std::string> SplitHeaderLines(const std::string& headers) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < headers.size()) {
    std::size_t end = headers.find('\n', at);
    if (end == std::string::npos) end = headers.size();
    std::string line = headers.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(std::move(line));
    at = end + 1;
  }
  return lines;
}

HttpRequest::HttpRequest(OnlineConnection& online, std::string host, std::string path, int kind, std::string headers,
                         std::optional<std::string> body)
    : online_(online),
      host_(std::move(host)),
      path_(std::move(path)),
      kind_(kind),
      headers_(std::move(headers)),
      body_(std::move(body)),
      generation_(online.generation()),
      options_(online.http()) {
  if (host_.find("://") == std::string::npos) host_ = "http://" + host_;
}

HttpRequest::~HttpRequest() { Close(); }

void HttpRequest::LogFailure(const char* step, const std::string& why) const {
  const std::string where = host_ + MaskPassword(sentPath_.empty() ? path_ : sentPath_);
  LogMessage("fail on %s: %s (%s)", step, why.c_str(), where.c_str());
}

bool HttpRequest::Open() {
  Close();
  sentPath_.clear();
  std::optional<std::string> path = prepare ? prepare(*this) : std::optional<std::string>(path_);
  if (!path) return false;  // refused before any traffic; the hook tells the user if it must
  if (!online_.EnsureConnection()) return false;
  if (generation_ != online_.generation()) {
    LogMessage("reinit occurred (%s%s)", host_.c_str(), MaskPassword(*path).c_str());
    return false;
  }
  sentPath_ = std::move(*path);

  platform::HttpRequestLine line{host_, sentPath_, SplitHeaderLines(headers_), body_};
  if (!transfer_.Open(line, options_)) {
    // The transfer's steps under the names the log has always used.
    static constexpr const char* kStep[] = {
        "HttpSendRequest",  // kNone: not reached
        "InternetOpen",     // kSetup
        "HttpOpenRequest",  // kBadUrl
        "InternetConnect",  // kConnect
        "HttpSendRequest",  // kSend
        "HttpSendRequest",  // kTooLarge
        "HttpSendRequest",  // kBrokenOff
    };
    LogFailure(kStep[static_cast<int>(transfer_.failure())], transfer_.error());
    return false;
  }
  requestBytes_ = (body_ ? 5 + body_->size() : 4) + sentPath_.size();  // "GET " or "POST " and the path
  online_.CountRequest(requestBytes_);
  if (!acceptAnyStatus_ && (status() < 200 || status() > 299)) {
    LogFailure("HttpSendRequest", "status " + std::to_string(status()));
    transfer_.Close();
    return false;
  }
  return true;
}

void HttpRequest::Close() { transfer_.Close(); }

StreamRead HttpRequest::Read(char* buffer, std::size_t length) {
  if (!transfer_.isOpen()) return {false, 0};
  if (!online_.allowInternet()) {
    Close();
    return {false, 0};
  }
  const platform::HttpRead r = transfer_.Read(buffer, length);
  if (!r.ok) {
    LogFailure("InternetReadFile", transfer_.error());
    Close();
    return {false, 0};
  }
  bytesReceived_ += r.bytes;
  online_.CountReply(r.bytes);
  return {true, r.bytes};
}

FileFetchResult FetchToFile(OnlineConnection& online, const FileFetch& fetch) {
  std::string headers;
  for (const std::string& line : fetch.headers) headers += line + "\n";
  HttpRequest request(online, fetch.host, fetch.path, fetch.kind, std::move(headers));
  request.prepare = fetch.prepare;
  request.setAcceptAnyStatus(true);
  if (fetch.cap < online.http().replyCap) request.setReplyCap(static_cast<std::size_t>(fetch.cap));
  const SaveResult saved = SaveToFile(request, fetch.file, fetch.cap);
  FileFetchResult result;
  if (!request.sent()) {
    result.outcome = FileFetchResult::Outcome::kRefused;
    return result;
  }
  result.status = request.status();
  if (result.status == 0 || (!saved.ok && saved.reason != SaveReason::kCannotCreate &&
                             saved.reason != SaveReason::kWriteFailed && saved.reason != SaveReason::kNoMemory)) {
    result.outcome = FileFetchResult::Outcome::kFailed;
    return result;
  }
  result.outcome = FileFetchResult::Outcome::kReceived;
  result.saved = saved.ok;
  result.bytes = saved.bytes;
  result.etag = request.replyHeader("ETag");
  result.lastModified = request.replyHeader("Last-Modified");
  result.cacheControl = request.replyHeader("Cache-Control");
  result.expires = request.replyHeader("Expires");
  result.contentLength = request.replyHeader("Content-Length");
  return result;
}

}  // namespace rovana
