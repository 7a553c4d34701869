// A thin client-side wrapper over a dispatch object: members by name, with the
// failure turned into the text a user should see.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/Unknown.h"
#include "platform/com/Variant.h"

namespace zenolith::tools {

class Automation {
 public:
  Automation() = default;
  explicit Automation(com::ComPtr<com::IDispatch> object) : object_(std::move(object)) {}

  // Creates an object by ProgID; false (and error() set) on failure.
  bool Create(std::string_view progId);

  bool Get(std::string_view member, com::Variant* value);
  bool Put(std::string_view member, com::Variant value);
  bool PutRef(std::string_view member, com::Variant value);
  bool Call(std::string_view member, std::vector<com::Variant> args, com::Variant* result = nullptr);
  // By identifier (from BoundMembers), for calls repeated many times; an
  // unknown identifier fails as an unknown name does.
  bool Invoke(com::DispId id, std::uint16_t flags, std::span<com::Variant> args, com::Variant* result);

  com::IDispatch* get() const { return object_.get(); }
  void Reset(com::ComPtr<com::IDispatch> object) { object_ = std::move(object); }
  // The last failure as "DESCRIPTION" (the rich error text or the status's).
  const std::string& error() const { return error_; }

 private:
  bool Invoke(std::string_view member, std::uint16_t flags, std::vector<com::Variant>& args, com::Variant* result);

  com::ComPtr<com::IDispatch> object_;
  std::string error_;
};

// Why the registry (where classes are found) cannot be read, as
// "PATH:LINE: REASON" quoted through Printable; empty when it reads (a missing
// registry reads as an empty one). Failures to find a class add it, since a
// damaged registry reads as one without classes.
std::string RegistryProblem();

}  // namespace zenolith::tools
