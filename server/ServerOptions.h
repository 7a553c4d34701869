// The command line of rovana-server.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "server/Actions.h"

namespace rovana::server {

struct ServerOptions {
  std::string database;             // --db FILE (required)
  std::string host = "127.0.0.1";   // --listen ADDR:PORT
  int port = 8642;
  std::string certFile;             // --cert FILE
  std::string keyFile;              // --key FILE
  std::string logFile;              // --log FILE; standard error when empty
  std::string configFile;           // --config FILE: the relay's upstreams and tiles
  ServiceConfig service;            // --session-idle, --login-rate, --account-rate, --message
  bool help = false;
};

struct ParsedOptions {
  std::optional<ServerOptions> options;  // nothing when the command line is wrong
  std::string error;                     // why, for standard error
};

// `arguments` without the program name.
ParsedOptions ParseServerOptions(const std::vector<std::string>& arguments);

std::string ServerUsage();

}  // namespace rovana::server
