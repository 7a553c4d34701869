// What the web-service session and the buddy tracker are given by the
// program: the transport that carries a request, the queue that runs
// settings changes on the user-interface thread, the blocking question to
// the user, and the clock.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace rovana {

class SettingsStore;

// One request as it goes on the wire.
struct ServiceRequest {
  std::string host;  // scheme, host and port: "http://127.0.0.1:8642"
  std::string path;  // path and query, starting with "/", complete with every suffix
  int kind = 0;      // ServiceKind (0 for requests to other servers)
};

// Sends a GET and gives the reply body, or nothing when no reply came (no
// connection, a time-out, a status other than 200, a reply over the size
// cap). May block for the connection time-out; called from worker threads.
using Transport = std::function<std::optional<std::string>(const ServiceRequest&)>;

// A settings change, run on the user-interface thread with the store.
using SettingsChange = std::function<void(SettingsStore&)>;
// Queues a change for the user-interface thread and returns at once.
using PostFunction = std::function<void(SettingsChange)>;

// A message or question for the user.
struct UserQuestion {
  enum class Buttons { Ok, OkCancel, YesNo };
  Buttons buttons = Buttons::Ok;
  std::string text;
};
// Shows the question on the user-interface thread and waits for the answer:
// true for Ok or Yes. During shutdown it answers false at once. Called from
// worker threads; when called on the user-interface thread itself it must
// show the question directly.
using AskFunction = std::function<bool(const UserQuestion&)>;

// The 32-bit millisecond tick; differences are taken modulo 2^32.
using TickFunction = std::function<std::uint32_t()>;

}  // namespace rovana
