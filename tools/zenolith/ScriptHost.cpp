#include "tools/zenolith/ScriptHost.h"

#include <istream>
#include <ostream>
#include <vector>

#include "platform/com/Runtime.h"
#include "platform/com/TypeLib.h"
#include "tools/zenolith/Automation.h"
#include "tools/zenolith/Printable.h"

namespace zenolith::tools {
namespace {

std::string FailureText(com::HRESULT hr) {
  std::string description;
  if (auto info = com::GetErrorInfo()) description = info->description;
  if (description.empty()) description = com::DescribeStatus(hr);
  if (description.empty()) description = "the call failed";
  return "error " + com::FormatStatus(hr) + ": " + Printable(description);
}

}  // namespace

std::string FormatValue(const com::Variant& value) {
  const com::Variant& v = value.Deref();
  switch (v.type()) {
    case com::VarType::Empty:
      return "<empty>";
    case com::VarType::I2:
      return std::to_string(v.AsI2());
    case com::VarType::I4:
      return std::to_string(v.AsI4());
    case com::VarType::R8:
      return com::FormatNumber(v.AsR8());
    case com::VarType::Bool:
      return v.AsBool() ? "true" : "false";
    case com::VarType::Bstr:
      return v.AsBstr();
    case com::VarType::Dispatch:
      return v.AsDispatch() ? "<object>" : "<nothing>";
    default: {
      std::string text;
      if (com::Succeeded(v.ToText(&text))) return text;
      return "<" + std::string(com::VarTypeName(v.type())) + ">";
    }
  }
}

ScriptHost::ScriptHost(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

int ScriptHost::Run(std::istream& script) {
  std::string line;
  int number = 0;
  while (std::getline(script, line)) {
    ++number;
    if (!RunLine(line, number)) return 2;
  }
  return 0;
}

bool ScriptHost::RunLine(std::string_view line, int number) {
  auto parsed = ParseStatement(line);
  if (auto* error = std::get_if<ScriptError>(&parsed)) return Stop(number, error->message);
  return Execute(std::get<Statement>(parsed), number);
}

bool ScriptHost::Stop(int number, const std::string& message) {
  err_ << "line " << number << ": " << Printable(message) << "\n";
  return false;
}

const com::Variant* ScriptHost::ValueOf(const Operand& operand) const {
  if (operand.kind == Operand::Literal) return &operand.value;
  auto it = names_.find(operand.name);
  return it == names_.end() ? nullptr : &it->second;
}

com::IDispatch* ScriptHost::ObjectOf(const std::string& name, int number) {
  auto it = names_.find(name);
  if (it == names_.end()) {
    Stop(number, "'" + name + "' is not defined");
    return nullptr;
  }
  const com::Variant& v = it->second.Deref();
  com::IDispatch* object = v.type() == com::VarType::Dispatch ? v.AsDispatch() : nullptr;
  if (!object) Stop(number, "'" + name + "' is not an object");
  return object;
}

std::optional<bool> ScriptHost::RunCall(const Call& call, int number, com::Variant* result, std::string* outs) {
  com::IDispatch* object = ObjectOf(call.object, number);
  if (!object) return false;
  com::ComPtr<com::IDispatch> keep(object);  // the call may overwrite the name

  const std::string_view names[] = {call.member};
  com::DispId id = com::kDispIdUnknown;
  com::ClearErrorInfo();
  if (com::HRESULT hr = object->GetIDsOfNames(names, &id); com::Failed(hr)) {
    out_ << FailureText(hr) << "\n";
    return true;
  }
  const std::uint16_t flags = com::kInvokeMethod | com::kInvokePropertyGet;
  std::shared_ptr<const com::InterfaceInfo> info;
  object->GetTypeInfo(&info);
  const com::MemberInfo* member = info ? info->Find(id, flags) : nullptr;

  std::vector<com::Variant> slots(call.args.size());
  std::vector<com::Variant> args(call.args.size());
  for (std::size_t i = 0; i < call.args.size(); ++i) {
    const bool out = member && i < member->params.size() && member->params[i].out;
    if (out) {
      args[i] = com::Variant::Ref(&slots[i]);
      continue;
    }
    const com::Variant* value = ValueOf(call.args[i]);
    if (!value) return Stop(number, "'" + call.args[i].name + "' is not defined");
    args[i] = value->Deref();
  }
  if (com::HRESULT hr = object->Invoke(id, flags, args, result); com::Failed(hr)) {
    out_ << FailureText(hr) << "\n";
    return true;
  }
  for (std::size_t i = 0; i < call.args.size(); ++i) {
    if (!args[i].IsByRef()) continue;
    *outs += " " + FormatValue(slots[i]);
    if (call.args[i].kind == Operand::Name) names_[call.args[i].name] = slots[i];
  }
  return std::nullopt;
}

bool ScriptHost::Put(const Statement& s, int number) {
  com::IDispatch* object = ObjectOf(s.call.object, number);
  if (!object) return false;
  const com::Variant* value = ValueOf(s.value);
  if (!value) return Stop(number, "'" + s.value.name + "' is not defined");
  com::ComPtr<com::IDispatch> keep(object);
  com::Variant arg = value->Deref();

  const std::string_view names[] = {s.call.member};
  com::DispId id = com::kDispIdUnknown;
  com::ClearErrorInfo();
  com::HRESULT hr = object->GetIDsOfNames(names, &id);
  if (com::Failed(hr)) {
    out_ << FailureText(hr) << "\n";
    return true;
  }
  // An object is put by reference where the member takes one, as a script's
  // "Set" would; else as a value, which the member converts.
  const bool isObject = arg.type() == com::VarType::Dispatch;
  hr = object->Invoke(id, isObject ? com::kInvokePropertyPutRef : com::kInvokePropertyPut, {&arg, 1}, nullptr);
  if (!isObject || hr != com::DISP_E_MEMBERNOTFOUND) {
    if (com::Failed(hr)) out_ << FailureText(hr) << "\n";
    return true;
  }
  com::ClearErrorInfo();
  hr = object->Invoke(id, com::kInvokePropertyPut, {&arg, 1}, nullptr);
  if (hr == com::DISP_E_MEMBERNOTFOUND) {
    // The member exists (it has a name) and takes a value: what was not
    // found is the object's value, so the object is the wrong type here. A
    // member without a put stays "not found".
    std::shared_ptr<const com::InterfaceInfo> info;
    object->GetTypeInfo(&info);
    if (info && info->Find(id, com::kInvokePropertyPut)) {
      com::ClearErrorInfo();
      out_ << "error " << com::FormatStatus(com::DISP_E_TYPEMISMATCH) << ": "
           << Printable(com::DescribeStatus(com::DISP_E_TYPEMISMATCH) + " An object is no value for " + s.call.member + ".")
           << "\n";
      return true;
    }
  }
  if (com::Failed(hr)) out_ << FailureText(hr) << "\n";
  return true;
}

bool ScriptHost::Execute(const Statement& s, int number) {
  switch (s.kind) {
    case Statement::Kind::Empty: return true;
    case Statement::Kind::PrintName: return PrintName(s, number);
    case Statement::Kind::Print:
    case Statement::Kind::Invoke: return Invoke(s, number);
    case Statement::Kind::Create: return Create(s);
    case Statement::Kind::Keep: return Keep(s, number);
    case Statement::Kind::Copy: return Copy(s, number);
    case Statement::Kind::Put: return Put(s, number);
  }
  return true;
}

bool ScriptHost::PrintName(const Statement& s, int number) {
  auto it = names_.find(s.target);
  if (it == names_.end()) return Stop(number, "'" + s.target + "' is not defined");
  out_ << FormatValue(it->second) << "\n";
  return true;
}

bool ScriptHost::Invoke(const Statement& s, int number) {
  com::Variant result;
  std::string outs;
  if (auto done = RunCall(s.call, number, &result, &outs)) return *done;
  if (s.kind == Statement::Kind::Print) out_ << FormatValue(result) << outs << "\n";
  return true;
}

bool ScriptHost::Create(const Statement& s) {
  com::ComPtr<com::IDispatch> object;
  com::ClearErrorInfo();
  if (com::HRESULT hr = com::CreateObject(s.progId, &object); com::Failed(hr)) {
    out_ << FailureText(hr);
    if (const std::string problem = RegistryProblem(); !problem.empty()) out_ << "; the registry cannot be read: " << problem;
    out_ << "\n";
    return true;
  }
  names_[s.target] = com::Variant::Dispatch(object.get());
  return true;
}

bool ScriptHost::Keep(const Statement& s, int number) {
  com::Variant result;
  std::string outs;
  if (auto done = RunCall(s.call, number, &result, &outs)) return *done;
  names_[s.target] = std::move(result);
  return true;
}

bool ScriptHost::Copy(const Statement& s, int number) {
  const com::Variant* value = ValueOf(s.value);
  if (!value) return Stop(number, "'" + s.value.name + "' is not defined");
  com::Variant copy = *value;
  names_[s.target] = std::move(copy);
  return true;
}

}  // namespace zenolith::tools
