#include "lib/component/ClassFactory.h"

#include "lib/component/ServerLifetime.h"

namespace zenolith {

// A class object counts as a live object: the runtime must not unload the
// library while a client holds one.
ClassFactory::ClassFactory(CreateFunction create) : create_(create) { ObjectCreated(); }
ClassFactory::~ClassFactory() { ObjectDestroyed(); }

com::HRESULT ClassFactory::QueryInterface(const com::IID& iid, void** object) {
  if (!object) return com::E_POINTER;
  if (iid == com::IID_IUnknown || iid == com::IID_IClassFactory) {
    *object = static_cast<com::IClassFactory*>(this);
    AddRef();
    return com::S_OK;
  }
  *object = nullptr;
  return com::E_NOINTERFACE;
}

std::uint32_t ClassFactory::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

std::uint32_t ClassFactory::Release() {
  const std::uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

com::HRESULT ClassFactory::CreateInstance(com::IUnknown* outer, const com::IID& iid, void** object) {
  if (!object) return com::E_POINTER;
  *object = nullptr;
  if (outer) return com::CLASS_E_NOAGGREGATION;
  return create_(iid, object);
}

com::HRESULT ClassFactory::LockServer(bool lock) {
  if (lock)
    ServerLocked();
  else
    ServerUnlocked();
  return com::S_OK;
}

}  // namespace zenolith
