// Saving replies: every reason a save can fail leaves the old file as it was
// and no temporary file behind; a complete reply replaces it.
#include "app/online/SaveToFile.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "app/online/HttpRequest.h"
#include "tests/support/LoggedFolder.h"
#include "tests/support/LoopbackHttp.h"

namespace {

using rovana::SaveReason;
using rovana::StreamRead;

// A stream of given bytes that can refuse to open or fail after some bytes,
// and remembers the lengths it was asked for.
class ScriptedStream final : public rovana::ReplyStream {
 public:
  ScriptedStream(std::string bytes, bool opens = true, std::optional<std::size_t> failAt = std::nullopt)
      : bytes_(std::move(bytes)), opens_(opens), failAt_(failAt) {}
  bool Open() override {
    open_ = opens_;
    ++opened;
    return opens_;
  }
  void Close() override {
    open_ = false;
    ++closed;
  }
  StreamRead Read(char* buffer, std::size_t length) override {
    asked.push_back(length);
    if (!open_) return {false, 0};
    std::size_t end = bytes_.size();
    if (failAt_) {
      if (at_ >= *failAt_) return {false, 0};
      end = *failAt_;
    }
    const std::size_t n = std::min(length, end - at_);
    bytes_.copy(buffer, n, at_);
    at_ += n;
    return {true, n};
  }

  int opened = 0, closed = 0;
  std::vector<std::size_t> asked;

 private:
  std::string bytes_;
  bool opens_;
  std::optional<std::size_t> failAt_;
  bool open_ = false;
  std::size_t at_ = 0;
};

class SaveToFileTest : public testing_support::LoggedFolderTest {
 protected:
  void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
  }
};

TEST_F(SaveToFileTest, OutcomesAndWhatIsLeft) {
  const std::string big(10000, 'z');
  struct Case {
    const char* name;
    std::string reply;
    bool opens;
    std::optional<std::size_t> failAt;
    std::uint64_t cap;
    bool missingFolder;
    SaveReason reason;
  };
  const Case cases[] = {
      {"saved", "new contents", true, std::nullopt, 1000, false, SaveReason::kSaved},
      {"empty reply", "", true, std::nullopt, 1000, false, SaveReason::kSaved},
      {"many pieces", big, true, std::nullopt, 10000, false, SaveReason::kSaved},
      {"folder missing", "x", true, std::nullopt, 1000, true, SaveReason::kCannotCreate},
      {"stream does not open", "x", false, std::nullopt, 1000, false, SaveReason::kCannotOpen},
      {"broken off", big, true, 5000, 100000, false, SaveReason::kReadFailed},
      {"beyond the cap", big, true, std::nullopt, 9999, false, SaveReason::kTooLarge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path folder = folder_ / c.name;
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = c.missingFolder ? folder / "gone" / "reply.xml" : folder / "reply.xml";
    if (!c.missingFolder) WriteFile(file, "old contents");
    ScriptedStream stream(c.reply, c.opens, c.failAt);
    const rovana::SaveResult result = rovana::SaveToFile(stream, file, c.cap);
    EXPECT_EQ(result.reason, c.reason) << result.why;
    EXPECT_EQ(result.ok, c.reason == SaveReason::kSaved);
    EXPECT_EQ(result.why.empty(), result.ok);
    if (!c.missingFolder) {
      EXPECT_EQ(ReadBytes(file), result.ok ? c.reply : "old contents");
      std::vector<std::string> names;
      for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename());
      EXPECT_EQ(names, std::vector<std::string>{"reply.xml"}) << "no temporary file stays";
    }
    if (result.ok) {
      EXPECT_EQ(result.bytes, c.reply.size());
    }
    EXPECT_EQ(stream.opened, c.reason == SaveReason::kCannotCreate ? 0 : 1);
    EXPECT_GE(stream.closed, 1) << "the stream is closed whatever happened";
  }
  EXPECT_NE(LogText().find("Cannot save"), std::string::npos);
}

TEST_F(SaveToFileTest, ReadsInPiecesOf2047) {
  ScriptedStream stream(std::string(5000, 'a'));
  ASSERT_TRUE(rovana::SaveToFile(stream, folder_ / "f").ok);
  ASSERT_FALSE(stream.asked.empty());
  for (const std::size_t n : stream.asked) EXPECT_EQ(n, rovana::kSavePiece);
}

TEST_F(SaveToFileTest, AFolderThatIsAFile) {
  WriteFile(folder_ / "plain", "not a folder");
  ScriptedStream stream("x");
  const rovana::SaveResult result = rovana::SaveToFile(stream, folder_ / "plain" / "reply.xml");
  EXPECT_EQ(result.reason, SaveReason::kCannotCreate);
  EXPECT_EQ(ReadBytes(folder_ / "plain"), "not a folder");
}

TEST_F(SaveToFileTest, ReadOnlyFolder) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into every folder";
  std::filesystem::permissions(folder_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  ScriptedStream stream("x");
  const rovana::SaveResult result = rovana::SaveToFile(stream, folder_ / "reply.xml");
  std::filesystem::permissions(folder_, std::filesystem::perms::owner_all);
  EXPECT_EQ(result.reason, SaveReason::kCannotCreate);
  EXPECT_EQ(stream.opened, 0) << "nothing is fetched that cannot be kept";
}

TEST_F(SaveToFileTest, AFailedWriteKeepsTheOldFile) {
  // A file size limit makes the write fail for root as well.
  const std::filesystem::path file = folder_ / "reply.xml";
  WriteFile(file, "old contents");
  struct sigaction ignore{}, old{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &old);
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit saved = limit;
  limit.rlim_cur = 3000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  ScriptedStream stream(std::string(8000, 'w'));
  const rovana::SaveResult result = rovana::SaveToFile(stream, file);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::sigaction(SIGXFSZ, &old, nullptr);
  EXPECT_EQ(result.reason, SaveReason::kWriteFailed) << result.why;
  EXPECT_EQ(ReadBytes(file), "old contents");
  EXPECT_EQ(Entries(), std::vector<std::string>{"reply.xml"});
}

TEST_F(SaveToFileTest, FromTheNetwork) {
  testing_support::LoopbackServer server;
  server.routes().Get("/tile.png", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(std::string("\x89PNG\r\n\x1a\n", 8) + std::string(3000, '\0'), "image/png");
  });
  ASSERT_TRUE(server.Start());
  testing_support::RawServer broken("HTTP/1.1 200 OK\r\nContent-Length: 4000\r\n\r\n\x89PNG");
  rovana::OnlineOptions options;
  options.allowInternet = [] { return true; };
  options.connectivity = [] { return platform::ConnectivityAnswer{platform::Online::kConnected, ""}; };
  rovana::OnlineConnection online(options);

  struct Case {
    const char* name;
    std::string base;
    std::string path;
    SaveReason reason;
    std::size_t size;
  };
  const Case cases[] = {
      {"whole tile", server.base(), "/tile.png", SaveReason::kSaved, 3008},
      {"missing tile", server.base(), "/nothing.png", SaveReason::kCannotOpen, 0},
      {"broken off", broken.base(), "/tile.png", SaveReason::kReadFailed, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path file = folder_ / (std::string(c.name) + ".png");
    WriteFile(file, "old");
    rovana::HttpRequest request(online, c.base, c.path);
    const rovana::SaveResult result = rovana::SaveToFile(request, file);
    EXPECT_EQ(result.reason, c.reason) << result.why;
    EXPECT_EQ(std::filesystem::file_size(file), result.ok ? c.size : 3u);
  }
}

TEST_F(SaveToFileTest, FileStreamsTakeOnlyBareNames) {
  WriteFile(folder_ / "cached.json", "{\"a\":1}");
  struct Case {
    const char* name;
    bool opens;
  };
  const Case cases[] = {
      {"cached.json", true}, {"missing.json", false}, {"", false},        {".", false},
      {"..", false},         {"../log.txt", false},   {"a/b", false},     {"/etc/passwd", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rovana::FileReplyStream stream(folder_, c.name);
    EXPECT_EQ(stream.Open(), c.opens);
    char buffer[64];
    const StreamRead r = stream.Read(buffer, sizeof buffer);
    EXPECT_EQ(r.ok, c.opens);
    if (c.opens) {
      EXPECT_EQ(std::string(buffer, r.bytes), "{\"a\":1}");
      EXPECT_EQ(stream.Read(buffer, sizeof buffer).bytes, 0u);
    }
  }
}

}  // namespace
