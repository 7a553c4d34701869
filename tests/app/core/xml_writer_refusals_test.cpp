// XmlWriter: what a save refuses to replace (devices, FIFOs, sockets and
// folders, named directly or through links; read-only files, even for root),
// SaveProblem() telling the same before any write, and keeping the replaced
// file aside without ever replacing an earlier kept one.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/core/XmlWriter.h"
#include "tests/support/LoggedFolder.h"

namespace rovana {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDocument = "<?xml version=\"1.0\"?>\n<r/>\n";

class Writer : public XmlWriter {
 public:
  Writer(fs::path folder, std::string name) : XmlWriter(std::move(folder), std::move(name)) {}

 protected:
  void Write() override { Raw("<r/>\n"); }
};

// A listening Unix socket at `path`, closed with the object.
class Socket {
 public:
  explicit Socket(const fs::path& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ok_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return ok_; }

 private:
  int fd_;
  bool ok_ = false;
};

// The file type bits of `path` itself (links not followed); 0 when absent.
mode_t TypeOf(const fs::path& path) {
  struct stat info{};
  return ::lstat(path.c_str(), &info) == 0 ? (info.st_mode & S_IFMT) : 0;
}

class XmlWriterRefusalTest : public testing_support::LoggedFolderTest {
 protected:
  fs::path Doc() const { return folder_ / "doc.xml"; }
  std::vector<std::string> Temporaries() const {
    std::vector<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(folder_))
      if (e.path().extension() == ".temp") found.push_back(e.path().string());
    return found;
  }
};

// Regression: a settings.xml linked to /dev/null (or to a FIFO) had the node
// renamed over by a regular file; nothing but a regular file is replaced now.
TEST_F(XmlWriterRefusalTest, NothingButARegularFileIsReplaced) {
  std::vector<std::unique_ptr<Socket>> sockets;
  struct Case {
    const char* what;
    std::function<void()> make;  // makes doc.xml (and what it links to)
    fs::path node;               // the node that must stay as it is
    std::string logged;          // in "Cannot save <doc.xml>: ..."
  };
  const fs::path nodes = folder_ / "nodes";
  // Root could rename over the real /dev/null should this fault come back,
  // so root links to a null device of its own (where it may make one).
  const bool root = ::geteuid() == 0;
  const fs::path device = root ? nodes / "null" : fs::path("/dev/null");
  std::vector<Case> cases = {
      {"link to a device",
       [&] {
         if (root) ASSERT_EQ(::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0) << std::strerror(errno);
         fs::create_symlink(device, Doc());
       },
       device, "its link target " + device.string() + " is a device, which is never replaced"},
      {"link to a FIFO", [&] { ::mkfifo((nodes / "fifo").c_str(), 0600), fs::create_symlink("nodes/fifo", Doc()); },
       nodes / "fifo", "is a FIFO, which is never replaced"},
      {"chain of links to a FIFO",
       [&] {
         ::mkfifo((nodes / "fifo2").c_str(), 0600);
         fs::create_symlink("fifo2", nodes / "middle");
         fs::create_symlink("nodes/middle", Doc());
       },
       nodes / "fifo2", "its link target " + (nodes / "fifo2").string() + " is a FIFO"},
      {"a FIFO itself", [&] { ::mkfifo(Doc().c_str(), 0600); }, Doc(), "it is a FIFO, which is never replaced"},
      {"link to a socket",
       [&] {
         sockets.push_back(std::make_unique<Socket>(nodes / "sock"));
         fs::create_symlink(nodes / "sock", Doc());
       },
       nodes / "sock", "is a socket, which is never replaced"},
      {"a socket itself", [&] { sockets.push_back(std::make_unique<Socket>(Doc())); }, Doc(),
       "it is a socket, which is never replaced"},
      {"link to a folder", [&] { fs::create_directory(nodes / "dir"), fs::create_symlink("nodes/dir", Doc()); },
       nodes / "dir", "is a folder, which is never replaced"},
      {"a folder itself", [&] { fs::create_directory(Doc()); }, Doc(), "it is a folder, which is never replaced"},
  };
  if (root) {
    // Containers may refuse root a device node; that case is then left out.
    fs::create_directories(nodes);
    if (::mknod((nodes / "probe").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) cases.erase(cases.begin());
    fs::remove_all(nodes);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::create_directories(nodes);
    const std::size_t logStart = LogText().size();
    c.make();
    const mode_t nodeType = TypeOf(c.node);
    const mode_t docType = TypeOf(Doc());
    ASSERT_NE(nodeType, 0u);
    Writer writer(folder_, "doc.xml");
    const std::string problem = writer.SaveProblem();
    const bool saved = writer.Save(false);
    const std::string log = LogText().substr(logStart);
    const bool kept = TypeOf(c.node) == nodeType && TypeOf(Doc()) == docType && Temporaries().empty();
    const bool told = log.find("Cannot save " + Doc().string() + ": ") != std::string::npos &&
                      log.find(c.logged) != std::string::npos && problem.find(c.logged) != std::string::npos;
    EXPECT_TRUE(!saved && kept && told) << "saved " << saved << ", kept " << kept << ", problem [" << problem
                                        << "], log:\n" << log;
    sockets.clear();
    fs::remove_all(Doc());
    fs::remove_all(nodes);
  }
}

// Regression: a read-only file (0444) was replaced by the atomic rename.
// The owner's write bit decides, so this holds when the tests run as root.
TEST_F(XmlWriterRefusalTest, ReadOnlyFileIsNotReplaced) {
  struct Case {
    const char* what;
    mode_t mode;
    bool linked;  // doc.xml links to the file
    bool saved;
  };
  const std::vector<Case> cases = {
      {"0444", 0444, false, false},
      {"0400", 0400, false, false},
      {"0555", 0555, false, false},
      {"0044 (others may write nothing either)", 0044, false, false},
      {"linked 0444 file", 0444, true, false},
      {"0644 is replaced", 0644, false, true},
      {"0200 (write only) is replaced", 0200, false, true},
      {"linked 0600 file is replaced", 0600, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path file = c.linked ? folder_ / "real.xml" : Doc();
    if (c.linked) fs::create_symlink("real.xml", Doc());
    std::ofstream(file) << "old";
    ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
    const std::size_t logStart = LogText().size();
    Writer writer(folder_, "doc.xml");
    const std::string problem = writer.SaveProblem();
    const bool saved = writer.Save(false);
    struct stat info{};
    ::stat(file.c_str(), &info);
    ::chmod(file.c_str(), 0600);
    const std::string contents = ReadBytes(file);
    const std::string log = LogText().substr(logStart);
    char mode[16];
    std::snprintf(mode, sizeof mode, "(mode %04o)", static_cast<unsigned>(c.mode));
    bool ok = saved == c.saved && (info.st_mode & 07777) == c.mode && Temporaries().empty() && fs::exists(Doc());
    if (c.saved) {
      ok = ok && contents == kDocument && problem.empty();
    } else {
      ok = ok && contents == "old" && log.find(std::string("is read-only ") + mode) != std::string::npos &&
           problem.find(std::string("is read-only ") + mode) != std::string::npos;
    }
    EXPECT_TRUE(ok) << "saved " << saved << ", mode " << std::oct << (info.st_mode & 07777) << std::dec
                    << ", contents [" << contents << "], problem [" << problem << "], log:\n" << log;
    fs::remove(Doc());
    fs::remove(file);
  }
}

// SaveProblem() names what would make a save fail, before anything is written.
TEST_F(XmlWriterRefusalTest, SaveProblemTellsWhyASaveWouldFail) {
  fs::create_directories(folder_ / "ok");
  fs::create_directories(folder_ / "ro");
  std::ofstream(folder_ / "ro" / "doc.xml") << "old";
  ::chmod((folder_ / "ro" / "doc.xml").c_str(), 0444);
  fs::create_directories(folder_ / "dangling");
  fs::create_symlink("../nowhere/doc.xml", folder_ / "dangling" / "doc.xml");
  struct Case {
    const char* what;
    fs::path folder;
    std::string problem;  // "" for none
  };
  const std::vector<Case> cases = {
      {"a fresh file in a writable folder", folder_ / "ok", ""},
      {"a missing folder", folder_ / "missing", "the folder " + (folder_ / "missing").string() + " does not exist"},
      {"a read-only file", folder_ / "ro", "it is read-only (mode 0444)"},
      {"a link into a missing folder", folder_ / "dangling", "whose folder does not exist"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string problem = Writer(c.folder, "doc.xml").SaveProblem();
    const bool named = problem.starts_with((c.folder / "doc.xml").string() + ": ");
    EXPECT_TRUE(c.problem.empty() ? problem.empty() : named && problem.find(c.problem) != std::string::npos) << problem;
  }
  if (::geteuid() != 0) {
    SCOPED_TRACE("a folder without write permission (not for root, who writes anyway)");
    ::chmod((folder_ / "ok").c_str(), 0555);
    const std::string problem = Writer(folder_ / "ok", "doc.xml").SaveProblem();
    ::chmod((folder_ / "ok").c_str(), 0755);
    EXPECT_NE(problem.find("is not writable: Permission denied"), std::string::npos) << problem;
  }
  EXPECT_TRUE(fs::exists(folder_ / "ok") && !fs::exists(folder_ / "ok" / "doc.xml")) << "nothing was written";
}

// The replaced file is kept as "<name>.bad", then ".bad.2", ...; an earlier
// kept file is never replaced, and without a free name the save fails.
TEST_F(XmlWriterRefusalTest, ReplacedFileIsKeptUnderAFreeName) {
  Writer writer(folder_, "doc.xml");
  writer.KeepReplacedFileAs(".bad");
  EXPECT_TRUE(writer.Save(false));
  EXPECT_TRUE(writer.keptAs().empty()) << "no old file, nothing kept";

  struct Step {
    const char* what;
    std::string old;        // contents of doc.xml before the save
    std::string keptName;   // where it must be kept
  };
  const std::vector<Step> steps = {
      {"first kept file", "first", "doc.xml.bad"},
      {"second", "second", "doc.xml.bad.2"},
      {"third", "third", "doc.xml.bad.3"},
  };
  std::ofstream(folder_ / "doc.xml.bad.3") << "earlier";  // taken: the third goes to .bad.4
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    std::ofstream(Doc()) << s.old;
    ::chmod(Doc().c_str(), 0600);
    const bool saved = writer.Save(false);
    const std::string name = s.keptName == "doc.xml.bad.3" ? "doc.xml.bad.4" : s.keptName;
    EXPECT_TRUE(saved && writer.keptAs() == folder_ / name && ReadBytes(folder_ / name) == s.old &&
                ReadBytes(Doc()) == kDocument)
        << "kept as " << writer.keptAs();
  }
  EXPECT_EQ(ReadBytes(folder_ / "doc.xml.bad"), "first");
  EXPECT_EQ(ReadBytes(folder_ / "doc.xml.bad.3"), "earlier");

  // Through a link the file at its end is kept beside it; the link stays.
  fs::create_directories(folder_ / "store");
  std::ofstream(folder_ / "store" / "real.xml") << "linked";
  fs::create_symlink("store/real.xml", folder_ / "linked.xml");
  Writer linked(folder_, "linked.xml");
  linked.KeepReplacedFileAs(".bad");
  EXPECT_TRUE(linked.Save(false));
  EXPECT_EQ(ReadBytes(folder_ / "store" / "real.xml.bad"), "linked");
  EXPECT_TRUE(fs::is_symlink(folder_ / "linked.xml"));
  EXPECT_EQ(ReadBytes(folder_ / "store" / "real.xml"), kDocument);

  // Every name taken: the old file stays as it was.
  for (int n = 1; n <= 99; ++n)
    std::ofstream(folder_ / (n == 1 ? std::string("full.xml.bad") : "full.xml.bad." + std::to_string(n))) << n;
  std::ofstream(folder_ / "full.xml") << "full";
  Writer full(folder_, "full.xml");
  full.KeepReplacedFileAs(".bad");
  EXPECT_FALSE(full.Save(false));
  EXPECT_EQ(ReadBytes(folder_ / "full.xml"), "full");
  EXPECT_EQ(ReadBytes(folder_ / "full.xml.bad.99"), "99");
  EXPECT_TRUE(Temporaries().empty());
  EXPECT_NE(LogText().find("Cannot keep " + (folder_ / "full.xml").string()), std::string::npos) << LogText();
}

}  // namespace
}  // namespace rovana
