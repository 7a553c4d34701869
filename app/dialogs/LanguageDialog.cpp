#include "app/dialogs/LanguageDialog.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>

#include "app/core/LanguageEntries.h"
#include "app/core/Log.h"
#include "app/core/SettingsStore.h"

namespace rovana::dialogs {

LanguageDialog::LanguageDialog(LanguageTable& language, SettingsStore& settings, bool atBoot, QWidget* parent)
    : QDialog(parent), language_(language), settings_(settings), atBoot_(atBoot) {
  auto* outer = new QVBoxLayout(this);
  body_ = new QBoxLayout(QBoxLayout::TopToBottom);
  auto* body = body_;
  auto* texts = new QVBoxLayout;
  intro_ = new QLabel(this);
  intro_->setWordWrap(true);
  label_ = new QLabel(this);
  texts->addWidget(intro_);
  texts->addWidget(label_);
  texts->addStretch(1);
  body->addLayout(texts, 1);
  list_ = new QListWidget(this);
  body->addWidget(list_, 1);
  outer->addLayout(body, 1);
  auto* box = new QDialogButtonBox(this);
  ok_ = box->addButton(QString(), QDialogButtonBox::AcceptRole);
  cancel_ = box->addButton(QString(), QDialogButtonBox::RejectRole);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  outer->addWidget(box);

  languages_ = language_.ListLanguages();
  // ListLanguages reads every file but leaves the table alone; the selected
  // row is the one matching the table's own name.
  for (const LanguageChoice& choice : languages_.items) list_->addItem(QString::fromStdString(choice.display));
  if (languages_.selected >= 0) list_->setCurrentRow(languages_.selected);
  connect(list_, &QListWidget::currentRowChanged, this, &LanguageDialog::Choose);
  Relabel();
  // The screen's orientation until the dialog has a size of its own.
  const QSize screen = parent ? parent->size()
                              : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->size() : QSize(480, 640));
  Orient(screen);
}

void LanguageDialog::Orient(QSize size) {
  body_->setDirection(size.width() > size.height() ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
}

bool LanguageDialog::sideBySide() const { return body_->direction() == QBoxLayout::LeftToRight; }

void LanguageDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  Orient(size());
}

void LanguageDialog::Choose(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= languages_.items.size()) return;
  const std::string& name = languages_.items[static_cast<std::size_t>(row)].name;
  if (!language_.Load(name, true, LanguageSetting{settings_.language, settings_.languageInit}))
    LogMessage("Language %s could not be loaded", name.c_str());
  Relabel();
}

void LanguageDialog::Relabel() {
  setWindowTitle(QString::fromStdString(language_.Title(lang::kMenuConfigLanguage)));
  intro_->setText(QString::fromStdString(language_.Entry(atBoot_ ? lang::kLanguageIntroBoot : lang::kLanguageIntroMenu)));
  label_->setText(QString::fromStdString(language_.Entry(lang::kLanguageLabel)));
  ok_->setText(QString::fromStdString(language_.Entry(lang::kButtonOk)));
  cancel_->setText(QString::fromStdString(language_.Entry(lang::kButtonCancel)));
}

}  // namespace rovana::dialogs
