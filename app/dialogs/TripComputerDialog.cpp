#include "app/dialogs/TripComputerDialog.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "app/coords/Units.h"
#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"
#include "app/processing/Analyzer.h"

namespace rovana::dialogs {
namespace {

constexpr int kRefreshMs = 1000;

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }
QString Q(const std::string& text) { return QString::fromStdString(text); }

// The language entry of each line's label; the time line's depends on the
// setting and the distance line carries its unit (see Fill).
constexpr std::array<int, kTripLines> kLineLabels = {
    lang::kTripTotalTime,  lang::kWordDistance,         lang::kTripAverageSpeed, lang::kTripMinSpeed,
    lang::kTripMaxSpeed,   lang::kTripAverageAltitude,  lang::kTripMinAltitude,  lang::kTripMaxAltitude,
    lang::kTripClimb,      lang::kTripDescent,
};

bool AskWithMessageBox(const LanguageTable& language, QWidget* parent, const QString& question) {
  QMessageBox box(QMessageBox::Question, Text(language, lang::kMessageCaption), question, QMessageBox::NoButton,
                  parent);
  QPushButton* ok = box.addButton(Text(language, lang::kButtonOk), QMessageBox::AcceptRole);
  box.addButton(Text(language, lang::kButtonCancel), QMessageBox::RejectRole);
  box.exec();
  return box.clickedButton() == ok;
}

}  // namespace

TripComputerDialog::TripComputerDialog(Analyzer& live, Analyzer& trip, SettingsStore& settings,
                                       const LanguageTable& language, QWidget* parent, Asker asker)
    : QDialog(parent), settings_(settings), language_(language), asker_(std::move(asker)) {
  if (!asker_) asker_ = [this](const QString& question) { return AskWithMessageBox(language_, this, question); };
  setWindowTitle(QString::fromStdString(language.Title(lang::kMenuToolsTripComputer)));
  PageOf(TripTab::Live).analyzer = &live;
  PageOf(TripTab::Trip).analyzer = &trip;

  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("tabs");
  tabs_->addTab(BuildPage(PageOf(TripTab::Live)), Text(language, lang::kTripTabLive));
  tabs_->addTab(BuildPage(PageOf(TripTab::Trip)), Text(language, lang::kTripTabTrip));
  layout->addWidget(tabs_, 1);

  auto* row = new QHBoxLayout;
  excludeStops_ = new QCheckBox(Text(language, lang::kTripExclStops), this);
  excludeStops_->setObjectName("excludeStops");
  excludeStops_->setChecked(settings_.excludeStops);
  connect(excludeStops_, &QCheckBox::toggled, this, [this](bool on) {
    settings_.excludeStops = on;
    Refresh();
  });
  row->addWidget(excludeStops_);
  row->addStretch(1);
  reset_ = new QPushButton(Text(language, lang::kButtonReset), this);
  reset_->setObjectName("reset");
  connect(reset_, &QPushButton::clicked, this, &TripComputerDialog::ResetShown);
  row->addWidget(reset_);
  layout->addLayout(row);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* back = buttons->addButton(Text(language, lang::kButtonBack), QDialogButtonBox::RejectRole);
  connect(back, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(buttons);

  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &TripComputerDialog::Refresh);
  timer_->start(kRefreshMs);
  Refresh();
}

QWidget* TripComputerDialog::BuildPage(Page& page) {
  auto* widget = new QWidget(this);
  auto* grid = new QGridLayout(widget);
  for (int i = 0; i < kTripLines; ++i) {
    page.labels[static_cast<std::size_t>(i)] = new QLabel(widget);
    page.values[static_cast<std::size_t>(i)] = new QLabel(widget);
    page.values[static_cast<std::size_t>(i)]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(page.labels[static_cast<std::size_t>(i)], i, 0);
    grid->addWidget(page.values[static_cast<std::size_t>(i)], i, 1);
  }
  grid->setRowStretch(kTripLines, 1);
  return widget;
}

void TripComputerDialog::Refresh() {
  for (Page& page : pages_) Fill(page);
}

void TripComputerDialog::Fill(Page& page) {
  const Analyzer& analyzer = *page.analyzer;
  const UnitChoice units = UnitChoiceOf(settings_);
  // Climb and descent are height differences: the altitude offset, which
  // moves the zero of the scale, must not be added to them.
  UnitChoice heights = units;
  heights.altitudeOffset = 0;
  const bool withoutStops = settings_.excludeStops;

  std::array<QString, kTripLines> labels;
  std::array<QString, kTripLines> values;
  for (int i = 0; i < kTripLines; ++i)
    labels[static_cast<std::size_t>(i)] = Text(language_, kLineLabels[static_cast<std::size_t>(i)]) + ":";

  auto at = [](TripLine line) { return static_cast<std::size_t>(line); };
  const Analyzer::Times times = analyzer.GetTimes(true);
  labels[at(TripLine::Time)] = Text(language_, withoutStops ? lang::kTripMovingTime : lang::kTripTotalTime) + ":";
  values[at(TripLine::Time)] = Q(FormatDuration(withoutStops ? times.moving : times.total, false));

  // The distance's unit goes into the label: "Distance (km):".
  const UnitText distance = FormatDistance(units, analyzer.Distance(true));
  labels[at(TripLine::Distance)] = QString("%1 (%2%3):")
                                       .arg(Text(language_, lang::kWordDistance), Q(distance.unit),
                                            Q(std::string(distance.shortName)));
  values[at(TripLine::Distance)] = Q(distance.value);

  values[at(TripLine::AverageSpeed)] = Q(FormatSpeed(units, analyzer.AverageSpeed(withoutStops)).Joined());
  values[at(TripLine::MinSpeed)] = Q(FormatSpeed(units, analyzer.MinSpeed()).Joined());
  values[at(TripLine::MaxSpeed)] = Q(FormatSpeed(units, analyzer.MaxSpeed()).Joined());
  values[at(TripLine::AverageAltitude)] = Q(FormatAltitude(units, analyzer.AverageAltitude()).Joined());
  values[at(TripLine::MinAltitude)] = Q(FormatAltitude(units, analyzer.MinAltitude()).Joined());
  values[at(TripLine::MaxAltitude)] = Q(FormatAltitude(units, analyzer.MaxAltitude()).Joined());
  values[at(TripLine::Climb)] = Q(FormatAltitude(heights, analyzer.Climb()).Joined());
  values[at(TripLine::Descent)] = Q(FormatAltitude(heights, analyzer.Descent()).Joined());

  for (std::size_t i = 0; i < labels.size(); ++i) {
    page.labels[i]->setText(labels[i]);
    page.values[i]->setText(values[i]);
  }
}

void TripComputerDialog::ResetShown() {
  Page& page = PageOf(shownTab());
  const QString question = QString("%1?").arg(Text(language_, lang::kTripResetQuestion));
  if (!asker_(question)) return;
  page.analyzer->Reset();
  Refresh();
}

TripTab TripComputerDialog::shownTab() const { return tabs_->currentIndex() == 1 ? TripTab::Trip : TripTab::Live; }

void TripComputerDialog::showTab(TripTab tab) { tabs_->setCurrentIndex(static_cast<int>(tab)); }

QString TripComputerDialog::labelText(TripTab tab, TripLine line) const {
  return PageOf(tab).labels[static_cast<std::size_t>(line)]->text();
}

QString TripComputerDialog::valueText(TripTab tab, TripLine line) const {
  return PageOf(tab).values[static_cast<std::size_t>(line)]->text();
}

}  // namespace rovana::dialogs
