// The shared object base: error records become statuses and rich error
// information, and the record is cleared by the next operation.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "lib/component/DispatchObject.h"
#include "lib/component/Identifiers.h"
#include "lib/component/LibraryTypeLib.h"
#include "lib/component/ServerLifetime.h"
#include "platform/com/Runtime.h"

namespace {

using com::Variant;
using zenolith::Invocation;

// Borrows ICustomDatum's description: puts of a negative SemiMajorAxis fail
// with 10003, gets of E2 fail with 10004 and DeltaX has no handler at all.
class Probe final : public zenolith::DispatchObject {
 public:
  Probe() : DispatchObject(zenolith::IID_ICustomDatum, "ZenolithCE.Probe") {}

 protected:
  com::HRESULT Call(Invocation& call) override;

 private:
  void PutAxis(Invocation& call) {
    if (call.R8(0) < 0)
      call.Fail(zenolith::kErrorInvalidArgument, "Invalid parameter!");
    else
      axis_ = call.R8(0);
  }
  void GetAxis(Invocation& call) { call.result = Variant::R8(axis_); }
  void GetE2(Invocation& call) { call.Fail(zenolith::kErrorIndexOutOfBounds, "Index out of bounds"); }

  static const zenolith::MemberRow<Probe> kRows[];
  double axis_ = 0;
};

const zenolith::MemberRow<Probe> Probe::kRows[] = {
    {1, com::MemberKind::PropPut, &Probe::PutAxis},
    {1, com::MemberKind::PropGet, &Probe::GetAxis},
    {2, com::MemberKind::PropGet, &Probe::GetE2},
};

com::HRESULT Probe::Call(Invocation& call) { return zenolith::Dispatch<Probe>(this, kRows, call); }

TEST(ErrorRecord, NumbersBecomeStatusesInTheLibraryRange) {
  EXPECT_EQ(static_cast<std::uint32_t>(zenolith::StatusForError(10003)), 0x80042713u);
  EXPECT_EQ(static_cast<std::uint32_t>(zenolith::StatusForError(10004)), 0x80042714u);
  EXPECT_EQ(static_cast<std::uint32_t>(zenolith::StatusForError(10006)), 0x80042716u);
  EXPECT_EQ(static_cast<std::uint32_t>(zenolith::StatusForError(10007)), 0x80042717u);
  EXPECT_EQ(static_cast<std::uint32_t>(zenolith::StatusForError(10018)), 0x80042722u);
  // A system code passed through keeps its low 16 bits.
  EXPECT_EQ(static_cast<std::uint32_t>(zenolith::StatusForError(2)), 0x80040002u);
}

TEST(DispatchObject, AFilledRecordIsReportedAndClearedByTheNextCall) {
  com::ComPtr<com::IDispatch> probe = com::ComPtr<com::IDispatch>::Adopt(new Probe);
  Variant negative = Variant::R8(-1);
  EXPECT_EQ(static_cast<std::uint32_t>(probe->Invoke(1, com::kInvokePropertyPut, {&negative, 1}, nullptr)),
            0x80042713u);
  auto info = com::GetErrorInfo();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->description, "Invalid parameter!");
  EXPECT_EQ(info->source, "ZenolithCE.Probe");
  EXPECT_EQ(info->iid, zenolith::IID_ICustomDatum);

  Variant value;
  EXPECT_EQ(static_cast<std::uint32_t>(probe->Invoke(2, com::kInvokePropertyGet, {}, &value)), 0x80042714u);
  EXPECT_EQ(com::GetErrorInfo()->description, "Index out of bounds");

  Variant good = Variant::R8(7);
  EXPECT_EQ(probe->Invoke(1, com::kInvokePropertyPut, {&good, 1}, nullptr), com::S_OK);
  EXPECT_FALSE(com::GetErrorInfo()) << "a successful call leaves no stale error information";
  EXPECT_EQ(probe->Invoke(1, com::kInvokePropertyGet, {}, &value), com::S_OK);
  EXPECT_EQ(value, Variant::R8(7));

  EXPECT_EQ(probe->Invoke(3, com::kInvokePropertyGet, {}, &value), com::E_NOTIMPL);
}

TEST(DispatchObject, ObjectsCountTowardsTheServerLifetime) {
  EXPECT_FALSE(zenolith::ServerInUse());
  {
    com::ComPtr<com::IDispatch> probe = com::ComPtr<com::IDispatch>::Adopt(new Probe);
    EXPECT_TRUE(zenolith::ServerInUse());
  }
  EXPECT_FALSE(zenolith::ServerInUse());
}

}  // namespace

// The index every call goes through finds the member the type library's own
// lookup finds, for every identifier in use (and some not), every
// combination of invoke flags and every interface of the library.
TEST(InterfaceIndex, FindsWhatTheTypeLibraryFinds) {
  const auto lib = zenolith::LibraryTypeLib();
  ASSERT_FALSE(lib->interfaces.empty());
  for (const com::InterfaceInfo& info : lib->interfaces) {
    const zenolith::InterfaceIndex* index = zenolith::LibraryInterfaceIndex(info.iid);
    ASSERT_NE(index, nullptr) << info.name;
    EXPECT_EQ(&index->info(), &info);
    for (com::DispId id = -2; id <= 66; ++id)
      for (std::uint16_t flags = 0; flags < 16; ++flags)
        EXPECT_EQ(index->Find(id, flags), info.Find(id, flags)) << info.name << " " << id << " " << flags;
    // Arguments of the declared types pass as they are unless a parameter is
    // out; a by-reference slot or a missing argument never does.
    for (const com::MemberInfo& member : info.members) {
      const auto* entry = index->Lookup(member.id, static_cast<std::uint16_t>(1u << static_cast<int>(member.kind)));
      ASSERT_NE(entry, nullptr) << info.name << "." << member.name;
      if (entry->member != &member) continue;  // a second member of that kind
      std::vector<com::Variant> args;
      bool hasOut = false;
      for (const com::ParamInfo& param : member.params) {
        hasOut = hasOut || param.out;
        args.push_back(param.type == com::VarType::I2     ? com::Variant::I2(1)
                       : param.type == com::VarType::Bstr ? com::Variant::Bstr("a")
                       : param.type == com::VarType::R8   ? com::Variant::R8(1)
                                                          : com::Variant::I4(1));
      }
      const bool typed = std::all_of(member.params.begin(), member.params.end(), [](const com::ParamInfo& p) {
        return p.type == com::VarType::I2 || p.type == com::VarType::Bstr || p.type == com::VarType::R8 ||
               p.type == com::VarType::I4 || p.type == com::VarType::Variant;
      });
      if (typed && member.params.size() <= zenolith::InterfaceIndex::kPlainParams)
        EXPECT_EQ(entry->Fits(args), !hasOut) << info.name << "." << member.name;
      if (args.empty()) continue;
      com::Variant slot;
      std::vector<com::Variant> byRef = args;
      byRef.back() = com::Variant::Ref(&slot);
      EXPECT_FALSE(entry->Fits(byRef)) << info.name << "." << member.name;
      args.pop_back();
      EXPECT_FALSE(entry->Fits(args)) << info.name << "." << member.name;
    }
  }
  EXPECT_EQ(zenolith::LibraryInterfaceIndex(com::IID_IDispatch), nullptr);
}
