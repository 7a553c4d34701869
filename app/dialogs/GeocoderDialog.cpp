#include "app/dialogs/GeocoderDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"

namespace rovana::dialogs {
namespace {

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }

QLineEdit* Field(const std::string& value, const char* name, QWidget* parent) {
  auto* edit = new QLineEdit(QString::fromStdString(value), parent);
  edit->setObjectName(name);
  return edit;
}

}  // namespace

GeocoderDialog::GeocoderDialog(SettingsStore& settings, const LanguageTable& language, GeocoderActions actions,
                               QWidget* parent)
    : QDialog(parent), settings_(settings), language_(language), actions_(std::move(actions)) {
  setWindowTitle(QString::fromStdString(language.Title(lang::kMenuToolsGeocoder)));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  country_ = Field(settings_.geoCountry, "geoCountry", this);
  city_ = Field(settings_.geoCity, "geoCity", this);
  street_ = Field(settings_.geoStreet, "geoStreet", this);
  form->addRow(Text(language, lang::kGeocoderCountry), country_);
  form->addRow(Text(language, lang::kGeocoderCity), city_);
  form->addRow(Text(language, lang::kGeocoderStreet), street_);
  layout->addLayout(form);

  auto* lookup = new QPushButton(QString::fromStdString(language.Title(lang::kMenuGpxSearch)), this);
  lookup->setObjectName("lookup");
  lookup->setDefault(true);
  lookup->setEnabled(static_cast<bool>(actions_.geocode));
  connect(lookup, &QPushButton::clicked, this, &GeocoderDialog::Lookup);
  layout->addWidget(lookup);

  result_ = new QLabel(this);
  result_->setObjectName("result");
  result_->setWordWrap(true);
  layout->addWidget(result_);

  auto* row = new QHBoxLayout;
  show_ = new QPushButton(Text(language, lang::kGeocoderShow), this);
  show_->setObjectName("showOnMap");
  target_ = new QPushButton(Text(language, lang::kGeocoderSetTarget), this);
  target_->setObjectName("setTarget");
  show_->setEnabled(false);
  target_->setEnabled(false);
  connect(show_, &QPushButton::clicked, this, [this] {
    if (!found_) return;
    if (actions_.showOnMap) actions_.showOnMap(*found_);
    accept();
  });
  connect(target_, &QPushButton::clicked, this, [this] {
    if (!found_) return;
    if (actions_.setTarget) actions_.setTarget(*found_);
    accept();
  });
  row->addWidget(show_);
  row->addWidget(target_);
  layout->addLayout(row);

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(Text(language, lang::kButtonCancel), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::rejected, this, [this] {
    Store();
    reject();
  });
  layout->addWidget(buttons);
}

QString GeocoderDialog::resultText() const { return result_->text(); }

void GeocoderDialog::Store() {
  settings_.geoCountry = country_->text().trimmed().toStdString();
  settings_.geoCity = city_->text().trimmed().toStdString();
  settings_.geoStreet = street_->text().trimmed().toStdString();
}

void GeocoderDialog::Lookup() {
  if (busy_ || !actions_.geocode) return;
  Store();
  if (settings_.geoCountry.empty() && settings_.geoCity.empty() && settings_.geoStreet.empty()) return;
  busy_ = true;
  setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const GeocodeRunResult r = actions_.geocode();
  QApplication::restoreOverrideCursor();
  setEnabled(true);
  busy_ = false;
  found_ = r.success ? std::optional<GeoPoint>(r.point) : std::nullopt;
  result_->setText(QString::fromStdString(r.text));
  show_->setEnabled(found_.has_value() && static_cast<bool>(actions_.showOnMap));
  target_->setEnabled(found_.has_value() && static_cast<bool>(actions_.setTarget));
}

}  // namespace rovana::dialogs
