#include "app/dialogs/SearchDialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"
#include "app/dialogs/DialogButtons.h"

namespace rovana::dialogs {
namespace {

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }

// The providers in `searchDB` order.
constexpr int kProviderTexts[] = {
    lang::kSearchLocal, lang::kSearchBusiness, lang::kSearchGeocaches,
    lang::kSearchArticles, lang::kSearchPhotos, lang::kSearchWeather,
};
constexpr int kGeocaches = 2;

// The filters: the two labels and their two boxes each.
struct FilterBox {
  int text;
  const char* name;
};
constexpr FilterBox kFilters[] = {
    {lang::kSearchShowFound, "searchGeoF"},
    {lang::kSearchShowNotFound, "searchGeoNF"},
    {lang::kSearchShowOwn, "searchGeoO"},
    {lang::kSearchShowOthers, "searchGeoNO"},
};

bool UsesText(int provider) { return provider == 0 || provider == 1; }

}  // namespace

SearchDialog::SearchDialog(SettingsStore& settings, const LanguageTable& language, SearchRun run, QWidget* parent,
                           DialogAsker asker)
    : QDialog(parent),
      settings_(settings),
      language_(language),
      run_(std::move(run)),
      asker_(WithDefaultBoxes(std::move(asker), language, this)) {
  setWindowTitle(QString::fromStdString(language.Title(lang::kMenuGpxSearch)));
  auto* layout = new QVBoxLayout(this);

  providers_ = new QButtonGroup(this);
  for (int i = 0; i < static_cast<int>(std::size(kProviderTexts)); ++i) {
    auto* button = new QRadioButton(Text(language, kProviderTexts[i]), this);
    button->setObjectName(QString("provider%1").arg(i));
    providers_->addButton(button, i);
    layout->addWidget(button);
  }
  const int chosen = settings_.searchDB >= 0 && settings_.searchDB < static_cast<int>(std::size(kProviderTexts))
                         ? settings_.searchDB
                         : 0;
  providers_->button(chosen)->setChecked(true);
  connect(providers_, &QButtonGroup::idClicked, this, [this](int) { FollowProvider(); });

  layout->addWidget(new QLabel(Text(language, lang::kSearchWhat), this));
  what_ = new QLineEdit(QString::fromStdString(settings_.searchWhat), this);
  what_->setObjectName("searchWhat");
  layout->addWidget(what_);

  deletePois_ = new QCheckBox(Text(language, lang::kSearchDeleteOld), this);
  deletePois_->setObjectName("searchDeletePOIs");
  deletePois_->setChecked(settings_.searchDeletePOIs);
  layout->addWidget(deletePois_);

  auto* caches = new QGroupBox(Text(language, lang::kSearchGeocaches), this);
  caches->setObjectName("geocacheFilters");
  auto* grid = new QGridLayout(caches);
  grid->addWidget(new QLabel(Text(language, lang::kSearchCacheFoundLabel), caches), 0, 0);
  grid->addWidget(new QLabel(Text(language, lang::kSearchCacheOwnLabel), caches), 1, 0);
  const bool values[] = {settings_.searchGeoF, settings_.searchGeoNF, settings_.searchGeoO, settings_.searchGeoNO};
  for (int i = 0; i < 4; ++i) {
    filters_[i] = new QCheckBox(Text(language, kFilters[i].text), caches);
    filters_[i]->setObjectName(kFilters[i].name);
    filters_[i]->setChecked(values[i]);
    grid->addWidget(filters_[i], i / 2, 1 + i % 2);
  }
  layout->addWidget(caches);

  layout->addWidget(OkCancelButtons(*this, language));
  FollowProvider();
}

void SearchDialog::FollowProvider() {
  const int provider = providers_->checkedId();
  what_->setEnabled(UsesText(provider));
  for (QCheckBox* box : filters_) box->setEnabled(provider == kGeocaches);
}

void SearchDialog::Store() {
  settings_.searchDB = providers_->checkedId();
  if (UsesText(settings_.searchDB)) settings_.searchWhat = what_->text().trimmed().toStdString();
  settings_.searchDeletePOIs = deletePois_->isChecked();
  settings_.searchGeoF = filters_[0]->isChecked();
  settings_.searchGeoNF = filters_[1]->isChecked();
  settings_.searchGeoO = filters_[2]->isChecked();
  settings_.searchGeoNO = filters_[3]->isChecked();
}

void SearchDialog::accept() {
  if (busy_) return;
  Store();
  if (!run_) {
    QDialog::accept();
    return;
  }
  busy_ = true;
  setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const SearchRunResult result = run_();
  QApplication::restoreOverrideCursor();
  setEnabled(true);
  busy_ = false;
  lastText_ = result.text;
  if (!result.text.empty()) asker_.message(QString::fromStdString(result.text));
  if (result.success) QDialog::accept();
}

}  // namespace rovana::dialogs
