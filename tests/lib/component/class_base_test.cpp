// The template base of the library's classes: the object behind a dispatch
// reference, and members run under the library lock.
#include "lib/component/ClassBase.h"

#include <gtest/gtest.h>

#include <thread>

#include "lib/component/Identifiers.h"

namespace {

using zenolith::Invocation;
using zenolith::MemberRow;

constexpr com::IID kProbeObject = com::MakeGuid("0B6F4C2E-7A1D-4E59-8C3B-2D9E5F7A1C60");
constexpr com::IID kOtherObject = com::MakeGuid("6D2A9E41-3C7B-4F08-9A15-E0B4C8D2F379");

// Borrows ICustomDatum's description; its SemiMajorAxis (1) answers whether
// another thread could take the library lock while the member ran.
template <const com::IID& kObject>
class Probe final : public zenolith::ClassBase<Probe<kObject>, kObject> {
 public:
  Probe();

 private:
  void LockFree(Invocation& call) {
    bool free = false;
    std::thread([&] {
      if ((free = zenolith::LibraryLock().try_lock())) zenolith::LibraryLock().unlock();
    }).join();
    call.result = com::Variant::Bool(free);
  }
  static const MemberRow<Probe> kRows[];
};
template <const com::IID& kObject>
const MemberRow<Probe<kObject>> Probe<kObject>::kRows[] = {{1, com::MemberKind::PropGet, &Probe::LockFree}};
template <const com::IID& kObject>
Probe<kObject>::Probe() : Probe::ClassBase(zenolith::IID_ICustomDatum, "ZenolithCE.Probe", kRows) {}

using Mine = Probe<kProbeObject>;
using Other = Probe<kOtherObject>;

TEST(ClassBase, FromFindsOnlyItsOwnClassAndAddsNoReference) {
  com::ComPtr<Mine> mine = Mine::New();
  com::ComPtr<Other> other = Other::New();
  ASSERT_TRUE(mine && other);
  EXPECT_EQ(Mine::From(mine.get()), mine.get());
  EXPECT_EQ(mine->AddRef(), 2u) << "From took no reference";
  mine->Release();
  EXPECT_EQ(Mine::From(other.get()), nullptr);
  EXPECT_EQ(Mine::From(nullptr), nullptr);
}

TEST(ClassBase, MembersRunUnderTheLibraryLock) {
  com::ComPtr<com::IDispatch> probe;
  ASSERT_EQ(Mine::Create(com::IID_IDispatch, probe.PutVoid()), com::S_OK);
  com::Variant free;
  ASSERT_EQ(probe->Invoke(1, com::kInvokePropertyGet, {}, &free), com::S_OK);
  EXPECT_EQ(free, com::Variant::Bool(false));
}

}  // namespace

// The library lock is re-entrant on its thread, closed to others until the
// last level is released, and keeps two threads' updates apart.
TEST(LibraryLock, ReentrantOnItsThreadExclusiveAcrossThreads) {
  zenolith::LibraryMutex& lock = zenolith::LibraryLock();
  auto otherThreadGetsIt = [&] {
    bool got = false;
    std::thread([&] {
      if ((got = lock.try_lock())) lock.unlock();
    }).join();
    return got;
  };
  lock.lock();
  ASSERT_TRUE(lock.try_lock());  // a second level on the same thread
  lock.unlock();
  EXPECT_FALSE(otherThreadGetsIt());
  lock.unlock();
  EXPECT_TRUE(otherThreadGetsIt());

  long counter = 0;
  auto add = [&] {
    for (int i = 0; i < 20000; ++i) {
      std::lock_guard outer(lock);
      std::lock_guard inner(lock);
      ++counter;
    }
  };
  std::thread a(add), b(add);
  a.join();
  b.join();
  EXPECT_EQ(counter, 40000);
}
