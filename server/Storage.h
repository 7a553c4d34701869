// What the web service keeps, behind one backend-neutral interface: accounts,
// sessions, buddy pairs, tracks with their positions, and chat messages.
// Times are seconds since the Unix epoch, passed in by the caller so that a
// backend never reads a clock of its own.
//
// Every call is safe from any thread. A call that fails in the backend (disk
// full, a damaged file) returns StoreStatus::Failed and leaves the stored
// data as it was; the backend logs the reason.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "server/Password.h"

namespace rovana::server {

enum class StoreStatus { Ok, NotFound, Conflict, Failed };

template <typename T>
struct Stored {
  StoreStatus status = StoreStatus::Failed;
  T value{};
  bool ok() const { return status == StoreStatus::Ok; }
};

struct Account {
  std::int64_t id = 0;
  std::string email;     // as registered, compared without regard to ASCII case
  PasswordHash password;
  std::string nickname;  // empty until set; unique without regard to ASCII case
  std::string pin;
};

struct Session {
  std::int64_t id = 0;
  std::int64_t user = 0;
  std::int64_t lastUsed = 0;  // the session expires a set idle time after this
  std::string client;         // what the client said of itself at login (version, device)
};

struct BuddyEntry {
  std::int64_t id = 0;  // the buddy's account id
  std::string nickname;
  bool enabled = false;  // this user's flag for the buddy
};

struct Position {
  std::int64_t track = 0;
  std::int64_t user = 0;
  std::int64_t time = 0;
  double latitude = 0;   // degrees
  double longitude = 0;  // degrees
  double altitude = 0;   // metres
  double speed = 0;      // kilometres per hour
  double course = 0;     // degrees
  std::int64_t interval = 0;  // the client's upload interval, seconds
};

struct ChatMessage {
  std::int64_t id = 0;
  std::int64_t sender = 0;
  std::int64_t recipient = 0;
  std::string text;
  std::int64_t sent = 0;
};

class Storage {
 public:
  virtual ~Storage() = default;

  // Accounts. CreateAccount gives Conflict when the e-mail is taken.
  virtual Stored<std::int64_t> CreateAccount(const std::string& email, const PasswordHash& password,
                                             std::int64_t now) = 0;
  virtual Stored<Account> AccountByEmail(const std::string& email) = 0;
  virtual Stored<Account> AccountById(std::int64_t id) = 0;
  virtual Stored<Account> AccountByNickname(const std::string& nickname) = 0;
  // Conflict when another account has the nickname.
  virtual StoreStatus SetNicknameAndPin(std::int64_t user, const std::string& nickname,
                                        const std::string& pin) = 0;

  // Sessions. CreateSession gives Conflict when the id is in use.
  virtual StoreStatus CreateSession(const Session& session) = 0;
  virtual Stored<Session> SessionById(std::int64_t id) = 0;
  virtual StoreStatus TouchSession(std::int64_t id, std::int64_t now) = 0;
  virtual StoreStatus DeleteSession(std::int64_t id) = 0;
  // Removes every session last used before `cutoff`; the count removed.
  virtual Stored<std::int64_t> DeleteSessionsBefore(std::int64_t cutoff) = 0;

  // Buddy pairs: a pair is stored once for each side, each with its own
  // enabled flag. AddBuddyPair gives Conflict when the pair exists.
  virtual StoreStatus AddBuddyPair(std::int64_t a, std::int64_t b) = 0;
  virtual StoreStatus DeleteBuddyPair(std::int64_t a, std::int64_t b) = 0;  // NotFound: no pair
  virtual StoreStatus SetBuddyEnabled(std::int64_t user, std::int64_t buddy, bool enabled) = 0;
  virtual Stored<bool> IsBuddy(std::int64_t user, std::int64_t buddy) = 0;
  virtual Stored<std::vector<BuddyEntry>> Buddies(std::int64_t user) = 0;
  // The latest position of every buddy whose pair is enabled on both sides.
  virtual Stored<std::vector<Position>> BuddyPositions(std::int64_t user) = 0;

  // Tracks and positions.
  virtual Stored<std::int64_t> CreateTrack(std::int64_t user, std::int64_t now) = 0;
  virtual Stored<std::int64_t> TrackOwner(std::int64_t track) = 0;  // NotFound: no such track
  virtual StoreStatus AddPosition(const Position& position) = 0;

  // Chat. TakeUndelivered returns up to `limit` messages to `user`, oldest
  // first, and marks them delivered in the same transaction.
  virtual Stored<std::int64_t> AddMessage(const ChatMessage& message) = 0;
  virtual Stored<std::vector<ChatMessage>> TakeUndelivered(std::int64_t user, int limit) = 0;

  // True when the backend's own consistency check finds nothing wrong.
  virtual bool CheckIntegrity() = 0;
};

}  // namespace rovana::server
