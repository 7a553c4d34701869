#include "tools/zenolith/BoundMembers.h"

#include "platform/com/Runtime.h"
#include "platform/com/TypeLib.h"

namespace zenolith::tools {

const com::DispId* BoundMembers::For(com::IDispatch* object) {
  std::shared_ptr<const com::InterfaceInfo> info;
  if (com::Failed(object->GetTypeInfo(&info))) info.reset();
  if (info && info == info_) return ids_.data();
  for (std::size_t i = 0; i < names_.size(); ++i) {
    const std::string_view name[] = {names_[i]};
    if (com::Failed(object->GetIDsOfNames(name, &ids_[i]))) ids_[i] = com::kDispIdUnknown;
  }
  info_ = std::move(info);
  return ids_.data();
}

bool InvokeId(com::IDispatch* object, com::DispId id, std::uint16_t flags, std::span<com::Variant> args,
              com::Variant* result) {
  result->Clear();
  if (id == com::kDispIdUnknown) return false;
  if (com::Succeeded(object->Invoke(id, flags, args, result))) return true;
  result->Clear();
  com::ClearErrorInfo();
  return false;
}

}  // namespace zenolith::tools
