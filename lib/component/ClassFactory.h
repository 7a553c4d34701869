// The class object the library hands out for each creatable class: it creates
// instances and can lock the library in memory.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/com/Unknown.h"

namespace zenolith {

using CreateFunction = com::HRESULT (*)(const com::IID& iid, void** object);

class ClassFactory final : public com::IClassFactory {
 public:
  explicit ClassFactory(CreateFunction create);

  com::HRESULT QueryInterface(const com::IID& iid, void** object) override;
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;
  com::HRESULT CreateInstance(com::IUnknown* outer, const com::IID& iid, void** object) override;
  com::HRESULT LockServer(bool lock) override;

 private:
  ~ClassFactory();
  std::atomic<std::uint32_t> refs_{1};
  CreateFunction create_;
};

}  // namespace zenolith
