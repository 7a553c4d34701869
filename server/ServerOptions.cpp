#include "server/ServerOptions.h"

#include <charconv>

#include "server/relay/RelayConfig.h"

namespace rovana::server {
namespace {

std::optional<long long> Number(const std::string& text, long long low, long long high) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

// "ADDR:PORT", "[V6ADDR]:PORT" or ":PORT" (the default address).
bool ParseListen(const std::string& text, std::string& host, int& port) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  std::string address = text.substr(0, colon);
  const auto number = Number(text.substr(colon + 1), 0, 65535);
  if (!number) return false;
  if (address.size() >= 2 && address.front() == '[' && address.back() == ']') {
    address = address.substr(1, address.size() - 2);
  }
  if (!address.empty()) host = address;
  port = static_cast<int>(*number);
  return true;
}

}  // namespace

std::string ServerUsage() {
  return "usage: rovana-server --db FILE [--listen ADDR:PORT] [--cert FILE --key FILE]\n"
         "                     [--log FILE] [--session-idle SECONDS] [--login-rate N]\n"
         "                     [--account-rate N] [--message TEXT] [--config FILE]\n"
         "\n"
         "Serves the Rovana web service (GET /online/os.asp?a=...).\n"
         "  --db FILE|URI         SQLite database, created when missing, or a PostgreSQL server\n"
         "                        as postgresql://user@host/dbname (required)\n"
         "  --listen ADDR:PORT    address to listen on (default 127.0.0.1:8642; port 0: any)\n"
         "  --cert FILE, --key FILE\n"
         "                        PEM certificate and private key: serve HTTPS instead of HTTP\n"
         "  --log FILE            append the request log here (default: standard error)\n"
         "  --session-idle SECONDS\n"
         "                        a session ends after this long without requests (21600)\n"
         "  --login-rate N        registrations and logins per minute from one address (12)\n"
         "  --account-rate N      requests per minute of one account (240)\n"
         "  --message TEXT        a message shown to every user after login\n"
         "  --config FILE         the relay's upstreams, canned replies and map tiles (below);\n"
         "                        without it every relay action answers with an empty reply\n"
         "  --help                this text\n"
         "\n" +
         RelayConfigUsage();
}

ParsedOptions ParseServerOptions(const std::vector<std::string>& arguments) {
  ServerOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    if (name == "--help" || name == "-h") {
      options.help = true;
      return {options, {}};
    }
    if (i + 1 >= arguments.size()) return {std::nullopt, name + " needs a value"};
    const std::string& value = arguments[++i];
    if (name == "--db") {
      options.database = value;
    } else if (name == "--listen") {
      if (!ParseListen(value, options.host, options.port)) {
        return {std::nullopt, "--listen wants ADDR:PORT, not \"" + value + "\""};
      }
    } else if (name == "--cert") {
      options.certFile = value;
    } else if (name == "--key") {
      options.keyFile = value;
    } else if (name == "--log") {
      options.logFile = value;
    } else if (name == "--config") {
      options.configFile = value;
    } else if (name == "--message") {
      options.service.loginMessage = value;
    } else if (name == "--session-idle" || name == "--login-rate" || name == "--account-rate") {
      const auto number = Number(value, 1, 365LL * 86400);
      if (!number) return {std::nullopt, name + " wants a positive whole number"};
      if (name == "--session-idle") options.service.sessionIdleSeconds = *number;
      if (name == "--login-rate") {
        options.service.loginPerMinute = static_cast<double>(*number);
        options.service.loginBurst = static_cast<double>(*number);
      }
      if (name == "--account-rate") {
        options.service.accountPerMinute = static_cast<double>(*number);
        options.service.accountBurst = static_cast<double>(*number) / 4 + 1;
      }
    } else {
      return {std::nullopt, "unknown option " + name};
    }
  }
  if (options.database.empty()) return {std::nullopt, "--db FILE is required"};
  if (options.certFile.empty() != options.keyFile.empty()) {
    return {std::nullopt, "--cert and --key go together"};
  }
  return {options, {}};
}

}  // namespace rovana::server
