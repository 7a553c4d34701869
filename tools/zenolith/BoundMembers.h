// Members of a dispatch interface called by identifier: the names are looked
// up once per interface (an object's type information tells which interface
// it is) instead of once per call, for the commands that read many objects.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "platform/com/Types.h"
#include "platform/com/Unknown.h"
#include "platform/com/Variant.h"

namespace zenolith::tools {

class BoundMembers {
 public:
  // The member names, kept as given (string literals): index i of the
  // identifiers is names[i].
  BoundMembers(std::initializer_list<std::string_view> names) : names_(names), ids_(names.size(), com::kDispIdUnknown) {}

  // The identifiers for `object`, one per name (kDispIdUnknown for a name the
  // object does not know). Looked up again when the object's type information
  // differs from the last one's, and on every call for an object without.
  const com::DispId* For(com::IDispatch* object);

 private:
  std::vector<std::string_view> names_;
  std::vector<com::DispId> ids_;
  std::shared_ptr<const com::InterfaceInfo> info_;
};

// Invokes member `id` of `object` into *result (emptied first). Failures
// leave *result empty and no error information behind; an unknown id fails
// without a call. True on success.
bool InvokeId(com::IDispatch* object, com::DispId id, std::uint16_t flags, std::span<com::Variant> args,
              com::Variant* result);

}  // namespace zenolith::tools
