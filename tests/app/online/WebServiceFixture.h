// A web-service session over the fake server, user and queue, with a real
// settings store in a temporary folder and the English language table.
#pragma once

#include <memory>

#include "app/online/WebService.h"
#include "tests/app/online/OnlineTestSupport.h"
#include "tests/support/LoggedFolder.h"
#include "tests/support/TempRegistry.h"

namespace testing_support {

inline constexpr const char* kTestDeviceId = "00112233445566778899aabbccddeeff";
inline constexpr std::uint32_t kTestTick = 123456;

class WebServiceFixture : public LoggedFolderTest {
 protected:
  void SetUp() override {
    LoggedFolderTest::SetUp();
    store_ = std::make_unique<rovana::SettingsStore>(folder_);
    ASSERT_TRUE(language_.Load("English")) << SourceLanguageFolder();
    rovana::ServiceHooks hooks;
    hooks.transport = server_.transport();
    hooks.post = ui_.post();
    hooks.ask = user_.ask();
    hooks.openAccount = [this] { ++accountOpened_; };
    hooks.tick = [this] { return tick_.load(); };
    service_ = std::make_unique<rovana::WebService>(language_, std::move(hooks), kTestDeviceId);
  }

  // An account and the internet allowed, as a user who set both up.
  void Online(int vozazid = 1) {
    store_->trackerEmail = "anna@example.org";
    store_->trackerPassword = "Geheim#42";
    store_->allowInternet = true;
    store_->vozazidEnabled = vozazid;
    Configure();
  }
  void Configure() { service_->Configure(rovana::ServiceSettingsOf(*store_)); }
  std::size_t Drain() { return ui_.Drain(*store_); }

  TempRegistry registry_;
  std::unique_ptr<rovana::SettingsStore> store_;
  rovana::LanguageTable language_{std::vector<std::filesystem::path>{SourceLanguageFolder()}};
  FakeServer server_;
  FakeUser user_;
  FakeUiQueue ui_;
  std::atomic<std::uint32_t> tick_{kTestTick};
  int accountOpened_ = 0;
  std::unique_ptr<rovana::WebService> service_;
};

}  // namespace testing_support
