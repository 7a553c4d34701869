// A PostgreSQL server of its own for a test: a new cluster in a temporary
// folder (initdb, trust authentication, no fsync), listening only on a Unix
// socket in that folder, stopped and removed when the object goes. Run as
// root, the cluster belongs to the "postgres" account (PostgreSQL refuses to
// run as root). Everything that goes wrong is a reason to skip, given in
// `why`: PostgreSQL not installed, no unprivileged account, a server that
// does not come up.
#pragma once

#include <sys/types.h>

#include <string>

namespace testing_support {

class TempPostgres {
 public:
  TempPostgres() = default;
  ~TempPostgres() { Stop(); }
  TempPostgres(const TempPostgres&) = delete;
  TempPostgres& operator=(const TempPostgres&) = delete;

  // The folder of initdb, pg_ctl and postgres; empty when not installed.
  static std::string BinFolder();

  // Creates the cluster and starts the server, waiting up to 20 s for it.
  bool Start(std::string* why);
  void Stop();

  // For libpq: "host=<socket folder> port=<port> user=rovana dbname=postgres".
  std::string ConnectionString() const;
  // The same as a URI (postgresql://rovana@/postgres?host=...&port=...).
  std::string Uri() const;
  int port() const { return port_; }
  const std::string& folder() const { return folder_; }

 private:
  std::string folder_;  // the socket folder; the cluster is folder_/data
  int port_ = 0;
  pid_t server_ = -1;
};

}  // namespace testing_support
