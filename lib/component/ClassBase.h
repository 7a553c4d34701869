// ClassBase: what every class of the library shares on top of DispatchObject,
// written once. `Derived` is the class itself; `kObjectIid` is its private
// "...Object" interface identifier, which QueryInterface answers with the C++
// object (no reference added) so the library can reach the object behind a
// dispatch reference; `Base` is DispatchObject or a class between (it must
// take the interface identifier and the ProgID).
//
//   // CustomDatum.h
//   class CustomDatum final : public ClassBase<CustomDatum, IID_CustomDatumObject> {
//    public:
//     CustomDatum();
//    private:
//     static const MemberRow<CustomDatum> kMembers[];  // size from the .cpp
//     void GetE2(Invocation& call);
//   };
//
//   // CustomDatum.cpp
//   const MemberRow<CustomDatum> CustomDatum::kMembers[] = {
//       {2, com::MemberKind::PropGet, &CustomDatum::GetE2}, ...};
//   CustomDatum::CustomDatum() : ClassBase(IID_ICustomDatum, "ZenolithCE.CustomDatum", kMembers) {}
//
// The table's size comes from its definition: the constructor must be defined
// where the table is (the .cpp), which the compiler enforces.
//
// A class gets:
//   Create(iid, object)  the create function of the class table;
//   From(dispatch)       its C++ object behind a dispatch reference, or null;
//   New()                a new object, owned by the returned pointer;
//   Call                 the member of the table, under the library lock.
// A class that needs more declares its own: a Create that must start
// something hides this one; a Call that runs without the lock, or checks
// before or after the member, calls DispatchMember itself; a QueryExtra for
// further interfaces (connection points) ends with ClassBase::QueryExtra.
#pragma once

#include <mutex>
#include <new>
#include <string_view>

#include "lib/component/DispatchObject.h"
#include "lib/component/LibraryLock.h"
#include "platform/com/Unknown.h"

namespace zenolith {

template <class Derived, const com::IID& kObjectIid, class Base = DispatchObject>
class ClassBase : public Base {
 public:
  // Creates an object and hands out `iid` (E_OUTOFMEMORY, or E_NOINTERFACE
  // for an interface the class does not have).
  static com::HRESULT Create(const com::IID& iid, void** object) { return CreateInstanceOf<Derived>(iid, object); }

  // The library's own object behind `object`, or null for null or a foreign
  // object. No reference is added: the caller must hold `object`.
  static Derived* From(com::IDispatch* object) {
    void* self = nullptr;
    if (!object || com::Failed(object->QueryInterface(kObjectIid, &self))) return nullptr;
    return static_cast<Derived*>(self);
  }

  // A new object with its one reference in the pointer; null when out of memory.
  static com::ComPtr<Derived> New() { return com::ComPtr<Derived>::Adopt(new (std::nothrow) Derived()); }

 protected:
  // `iid` and `progId` as for DispatchObject; `members` is the class's table.
  ClassBase(const com::IID& iid, std::string_view progId, MemberTable<Derived> members)
      : Base(iid, progId), rows_(&RowIndex(members)) {}

  // Runs the row of the table matching the call (E_NOTIMPL without one); no lock.
  com::HRESULT DispatchMember(Invocation& call) {
    const MemberRow<Derived>* row = rows_->Find(call.member.id, call.member.kind);
    if (!row) return com::E_NOTIMPL;
    (static_cast<Derived*>(this)->*row->handler)(call);
    return com::S_OK;
  }

  com::HRESULT Call(Invocation& call) override {
    std::lock_guard lock(LibraryLock());
    return DispatchMember(call);
  }

  com::HRESULT QueryExtra(const com::IID& iid, void** object) override {
    if (iid != kObjectIid) return Base::QueryExtra(iid, object);
    *object = static_cast<Derived*>(this);  // internal access only: no reference is handed out
    return com::S_OK;
  }

 private:
  // The class's table indexed once, at its first object (a class has one table).
  static const MemberRowIndex<Derived>& RowIndex(MemberTable<Derived> members) {
    static const MemberRowIndex<Derived> index(members);
    return index;
  }

  const MemberRowIndex<Derived>* rows_;
};

}  // namespace zenolith
