#include "tools/zenolith/Automation.h"

#include "platform/com/Runtime.h"
#include "platform/registry/Registry.h"
#include "tools/zenolith/Printable.h"

namespace zenolith::tools {
namespace {

std::string Describe(com::HRESULT hr) {
  if (auto info = com::GetErrorInfo(); info && !info->description.empty()) return info->description;
  std::string text = com::DescribeStatus(hr);
  return text.empty() ? "failed with " + com::FormatStatus(hr) : text;
}

}  // namespace

std::string RegistryProblem() {
  const registry::Status status = registry::Registry::Default().Check();
  return status.ok() ? std::string() : Printable(status.message);
}

bool Automation::Create(std::string_view progId) {
  com::ClearErrorInfo();
  const com::HRESULT hr = com::CreateObject(progId, &object_);
  if (com::Succeeded(hr)) return true;
  error_ = "cannot create " + Printable(progId) + ": " + Describe(hr);
  if (const std::string problem = RegistryProblem(); !problem.empty()) error_ += "; the registry cannot be read: " + problem;
  return false;
}

bool Automation::Invoke(std::string_view member, std::uint16_t flags, std::vector<com::Variant>& args,
                        com::Variant* result) {
  com::ClearErrorInfo();
  const com::HRESULT hr = com::InvokeByName(object_.get(), member, flags, args, result);
  if (com::Succeeded(hr)) return true;
  error_ = Describe(hr);
  return false;
}

bool Automation::Invoke(com::DispId id, std::uint16_t flags, std::span<com::Variant> args, com::Variant* result) {
  com::ClearErrorInfo();
  const com::HRESULT hr = !object_                      ? com::E_POINTER
                          : id == com::kDispIdUnknown ? com::DISP_E_UNKNOWNNAME
                                                      : object_->Invoke(id, flags, args, result);
  if (com::Succeeded(hr)) return true;
  error_ = Describe(hr);
  return false;
}

bool Automation::Get(std::string_view member, com::Variant* value) {
  std::vector<com::Variant> none;
  return Invoke(member, com::kInvokePropertyGet, none, value);
}

bool Automation::Put(std::string_view member, com::Variant value) {
  std::vector<com::Variant> args{std::move(value)};
  return Invoke(member, com::kInvokePropertyPut, args, nullptr);
}

bool Automation::PutRef(std::string_view member, com::Variant value) {
  std::vector<com::Variant> args{std::move(value)};
  return Invoke(member, com::kInvokePropertyPutRef, args, nullptr);
}

bool Automation::Call(std::string_view member, std::vector<com::Variant> args, com::Variant* result) {
  return Invoke(member, com::kInvokeMethod, args, result);
}

}  // namespace zenolith::tools
