// What the online dialogs (online services, account, VozazId) ask of the
// web service and the buddy tracker, as plain functions, so that the dialogs
// neither block on the network nor know how requests are made. Each action
// returns the result code of its reply (0 for success, the session's codes
// otherwise); `run` carries it out away from the user-interface thread and
// calls `done` back on it. An empty member is an action not offered: its
// button stays disabled.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rovana::dialogs {

struct BuddyRow {
  int id = 0;
  std::string nickname;
  bool enabled = false;
  bool hasPosition = false;
  int ageSeconds = -1;  // since its last position; -1 for none
};

struct OnlineActions {
  // The account in the settings (`trackerEmail`, `trackerPassword`).
  std::function<int()> login;
  std::function<void()> logout;
  std::function<bool()> loggedIn;
  // Nickname and private PIN (the public PIN comes back from the server).
  std::function<int(const std::string& nickname, const std::string& pin)> setIdentity;
  std::function<int(const std::string& nickname, const std::string& pin)> addBuddy;
  std::function<int(int buddy)> deleteBuddy;
  std::function<int(int buddy, bool enabled)> enableBuddy;
  std::function<int(int buddy, const std::string& text)> sendChat;
  // The tracker's buddy list as it is now.
  std::function<std::vector<BuddyRow>()> buddies;
  // Bytes sent and received by every online request of the run.
  std::function<std::uint64_t()> bytesSent, bytesReceived;
  // The text for a result code ("logged in", "wrong password", "ERROR 99").
  std::function<std::string(int code)> resultText;
  // Runs `work` off the user-interface thread, then `done(result)` on it.
  // Empty: both run at once on the caller's thread (tests).
  std::function<void(std::function<int()> work, std::function<void(int)> done)> run;

  void Run(std::function<int()> work, std::function<void(int)> done) const {
    if (run) {
      run(std::move(work), std::move(done));
    } else {
      const int result = work();
      done(result);
    }
  }
};

}  // namespace rovana::dialogs
