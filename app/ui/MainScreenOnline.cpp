// The main screen's online commands: Config › Online services (with the
// account), Tools › VozazId, and the chat page opened when a message
// arrives. Each dialog runs through RunModal.
#include <QApplication>

#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/dialogs/AccountDialog.h"
#include "app/dialogs/OnlineServicesDialog.h"
#include "app/dialogs/VozazIdDialog.h"
#include "app/ui/MainScreen.h"

namespace rovana::ui {

void MainScreen::OpenOnlineServices() {
  if (!context_.online) {
    LogMessage("No online services: the command is not available");
    return;
  }
  dialogs::OnlineServicesDialog dialog(context_.settings, context_.language, *context_.online, this);
  RunModal(dialog);
  UpdateMenuStates();
}

void MainScreen::OpenAccount() {
  if (!context_.online) return;
  dialogs::AccountDialog dialog(context_.settings, context_.language, *context_.online, this);
  RunModal(dialog);
}

void MainScreen::OpenVozazId(int page) {
  if (!context_.online) {
    LogMessage("No online services: the command is not available");
    return;
  }
  dialogs::VozazIdDialog dialog(context_.settings, context_.language, *context_.online, page, this);
  RunModal(dialog);
  UpdateMenuStates();
  update();
}

void MainScreen::NotifyChat() {
  if (!context_.settings.chatNotify || context_.automatic) return;
  if (QApplication::activeModalWidget() != this) return;  // another dialog is up: the log keeps the line
  OpenVozazId(dialogs::VozazIdDialog::kChat);
}

}  // namespace rovana::ui
