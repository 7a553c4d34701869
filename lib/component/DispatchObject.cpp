#include "lib/component/DispatchObject.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

#include "lib/component/LibraryTypeLib.h"
#include "lib/component/ServerLifetime.h"
#include "platform/com/Runtime.h"

namespace zenolith {

bool RejectArgument(Invocation& call, std::size_t i) {
  double value = 0;
  if (i >= call.args.size() || com::Failed(call.Value(i).ToDouble(&value))) {
    call.Fail(kErrorInvalidArgument, "Invalid parameter!");
    return false;
  }
  const bool named = call.member.kind != com::MemberKind::PropPut && i < call.member.params.size();
  call.Fail(kErrorInvalidArgument, (named ? call.member.params[i].name : call.member.name) + " must be a finite number.");
  return false;
}

DispatchObject::DispatchObject(const com::IID& iid, std::string_view progId)
    : iid_(iid), progId_(progId), index_(LibraryInterfaceIndex(iid)) {
  ObjectCreated();
}

DispatchObject::~DispatchObject() { ObjectDestroyed(); }

com::HRESULT DispatchObject::QueryInterface(const com::IID& iid, void** object) {
  if (!object) return com::E_POINTER;
  if (iid == com::IID_IUnknown || iid == com::IID_IDispatch || iid == iid_) {
    *object = static_cast<com::IDispatch*>(this);
    AddRef();
    return com::S_OK;
  }
  *object = nullptr;
  return QueryExtra(iid, object);
}

com::HRESULT DispatchObject::QueryExtra(const com::IID&, void**) { return com::E_NOINTERFACE; }

std::uint32_t DispatchObject::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

bool DispatchObject::TryAddRef() {
  std::uint32_t count = refs_.load(std::memory_order_relaxed);
  while (count != 0)
    if (refs_.compare_exchange_weak(count, count + 1, std::memory_order_acq_rel)) return true;
  return false;
}

std::uint32_t DispatchObject::Release() {
  const std::uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

com::HRESULT DispatchObject::GetTypeInfo(std::shared_ptr<const com::InterfaceInfo>* info) {
  if (!info) return com::E_POINTER;
  *info = index_ ? std::shared_ptr<const com::InterfaceInfo>(LibraryTypeLib(), &index_->info()) : nullptr;
  return index_ ? com::S_OK : com::TYPE_E_ELEMENTNOTFOUND;
}

com::HRESULT DispatchObject::GetIDsOfNames(std::span<const std::string_view> names, com::DispId* ids) {
  if (!ids) return com::E_POINTER;
  if (names.empty()) return com::E_INVALIDARG;
  for (std::size_t i = 0; i < names.size(); ++i) ids[i] = com::kDispIdUnknown;
  if (!index_) return com::DISP_E_UNKNOWNNAME;
  const com::InterfaceInfo& info = index_->info();
  const auto id = info.IdOfName(names[0]);
  if (!id) return com::DISP_E_UNKNOWNNAME;
  ids[0] = *id;
  bool allKnown = true;
  for (std::size_t i = 1; i < names.size(); ++i) {
    // Parameter names are looked up among the members of that name (a get
    // and a put share one identifier but may name their arguments apart).
    for (const com::MemberInfo& member : info.members) {
      if (member.id != *id) continue;
      for (std::size_t p = 0; p < member.params.size() && ids[i] == com::kDispIdUnknown; ++p) {
        const std::string& name = member.params[p].name;
        if (name.size() == names[i].size() &&
            std::equal(name.begin(), name.end(), names[i].begin(),
                       [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) ==
                                                   std::tolower(static_cast<unsigned char>(b)); }))
          ids[i] = static_cast<com::DispId>(p);
      }
    }
    if (ids[i] == com::kDispIdUnknown) allKnown = false;
  }
  return allKnown ? com::S_OK : com::DISP_E_UNKNOWNNAME;
}

com::HRESULT DispatchObject::Fail(com::HRESULT hr, std::string_view description) {
  com::SetErrorInfo({std::string(description), iid_, std::string(progId_)});
  return hr;
}

namespace {

// Room for the converted arguments of a call: on the stack for the usual few,
// on the heap beyond.
class ArgumentSlots {
 public:
  explicit ArgumentSlots(std::size_t count) : count_(count) {
    if (count > kInline) heap_.resize(2 * count);
  }
  std::span<com::Variant> converted() { return {base(), count_}; }
  com::Variant& local(std::size_t i) { return base()[count_ + i]; }

 private:
  static constexpr std::size_t kInline = 8;
  com::Variant* base() { return heap_.empty() ? inline_ : heap_.data(); }
  std::size_t count_;
  com::Variant inline_[2 * kInline];
  std::vector<com::Variant> heap_;
};

}  // namespace

com::HRESULT DispatchObject::Invoke(com::DispId id, std::uint16_t flags, std::span<com::Variant> args,
                                    com::Variant* result) {
  com::ClearErrorInfo();
  const InterfaceIndex::Entry* entry = index_ ? index_->Lookup(id, flags) : nullptr;
  if (!entry || !entry->Fits(args) || (result && result >= args.data() && result < args.data() + args.size()))
    return InvokeConverting(id, flags, args, result);

  // The common case: the caller's values are passed on without a copy, and
  // an empty result variant of the caller's is filled in place, emptied
  // again when the call fails.
  com::Variant value;
  com::Variant& out = result && result->IsEmpty() ? *result : value;
  Invocation call{*entry->member, args, out, error_};
  error_.Clear();
  const com::HRESULT hr = Call(call);
  if (com::Failed(hr) || error_.IsSet()) {
    if (&out == result) result->Clear();
    return com::Failed(hr) ? Fail(hr, com::DescribeStatus(hr)) : ReportError(error_, iid_, progId_);
  }
  if (result && &out != result) *result = std::move(value);
  return com::S_OK;
}

// Invoke for everything else: a member beyond the index, arguments to
// convert or count, out arguments, a result among the arguments.
com::HRESULT DispatchObject::InvokeConverting(com::DispId id, std::uint16_t flags, std::span<com::Variant> args,
                                              com::Variant* result) {
  if (!index_) return Fail(com::TYPE_E_CANTLOADLIBRARY, "The type library does not describe this interface.");
  const com::MemberInfo* member = index_->Find(id, flags);
  if (!member) return Fail(com::DISP_E_MEMBERNOTFOUND, com::DescribeStatus(com::DISP_E_MEMBERNOTFOUND));
  std::size_t required = 0;
  for (const com::ParamInfo& p : member->params)
    if (!p.optional) ++required;
  if (args.size() < required || args.size() > member->params.size())
    return Fail(com::DISP_E_BADPARAMCOUNT, "Wrong number of arguments for " + member->name + ": " +
                                               std::to_string(args.size()) + " given, " +
                                               std::to_string(member->params.size()) + " expected.");

  // Arguments of the declared types; out arguments keep the caller's slot
  // or get a local one when the caller passed a plain value.
  ArgumentSlots slots(member->params.size());
  std::span<com::Variant> converted = slots.converted();
  for (std::size_t i = 0; i < member->params.size(); ++i) {
    const com::ParamInfo& param = member->params[i];
    if (param.out) {
      converted[i] = (i < args.size() && args[i].IsByRef()) ? args[i] : com::Variant::Ref(&slots.local(i));
      continue;
    }
    if (i >= args.size()) continue;  // a missing optional argument stays empty
    const com::HRESULT hr = args[i].ChangeType(param.type, &converted[i]);
    if (com::Failed(hr))
      return Fail(hr, com::DescribeStatus(hr) + " Argument " + param.name + " of " + member->name + ".");
  }
  com::Variant value;
  Invocation call{*member, converted, value, error_};
  error_.Clear();
  const com::HRESULT hr = Call(call);
  if (com::Failed(hr)) return Fail(hr, com::DescribeStatus(hr));
  if (error_.IsSet()) return ReportError(error_, iid_, progId_);
  if (result) *result = std::move(value);
  return com::S_OK;
}

}  // namespace zenolith
