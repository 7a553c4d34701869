#include "app/dialogs/TrackAnalyzerDialog.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <optional>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"
#include "app/waypoints/POIs.h"
#include "app/waypoints/Waypoints.h"

namespace rovana::dialogs {
namespace {

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }
QString Q(const std::string& text) { return QString::fromStdString(text); }

constexpr int kTicks = 5;        // scale labels per axis, ends included
constexpr int kGap = 6;          // pixels between labels and the frame
constexpr int kFontPixels = 11;
constexpr QRgb kFrameColour = 0xFF000000;
constexpr QRgb kGridColour = 0xFFD8D8D8;

// The language entry that names each y series (index 0 is "none").
constexpr int kYEntries[kYSelectors] = {lang::kWordNone,         lang::kWordAltitude, lang::kWordGrade,
                                        lang::kWordSpeed,        lang::kWordAcceleration,
                                        lang::kAnalyzerLongitudinal, lang::kAnalyzerLateral};
constexpr int kXEntries[kXSelectors] = {lang::kWordDistance, lang::kWordTime};

int Clamped(int value, int count) { return value >= 0 && value < count ? value : 0; }

// A text without the colon that ends a label.
QString WithoutColon(QString text) {
  text = text.trimmed();
  if (text.endsWith(':')) text.chop(1);
  return text.trimmed();
}

QFont GraphFont(const QFont& base) {
  QFont font = base;
  font.setPixelSize(kFontPixels);
  return font;
}

int WidestText(const QFontMetrics& metrics, const QStringList& texts) {
  int widest = 0;
  for (const QString& t : texts) widest = std::max(widest, metrics.horizontalAdvance(t));
  return widest;
}

}  // namespace

// ---- the graph ---------------------------------------------------------------

TrackGraph::TrackGraph(QWidget* parent) : QWidget(parent) {
  setMinimumSize(240, 160);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TrackGraph::SetSeries(const TrackSeries& series, const TrackSeriesChoice& choice, const UnitChoice& units) {
  series_ = series;
  choice_ = choice;
  units_ = units;
  update();
}

TrackGraph::Range TrackGraph::RangeOf(const std::vector<double>& values) {
  Range r{0, 0};
  bool any = false;
  for (const double v : values) {
    if (IsMissing(v)) continue;
    if (!any) r = {v, v};
    r.low = std::min(r.low, v);
    r.high = std::max(r.high, v);
    any = true;
  }
  // A flat series sits in the middle of a range one unit either side.
  if (!any) return {0, 1};
  if (r.high - r.low < 1e-9) return {r.low - 1, r.high + 1};
  return r;
}

namespace {

template <typename Format>
QStringList Scale(const std::vector<double>& values, double low, double high, Format format) {
  QStringList labels;
  if (values.empty()) return labels;
  for (int i = 0; i < kTicks; ++i) labels << Q(format(low + (high - low) * i / (kTicks - 1)));
  return labels;
}

}  // namespace

QStringList TrackGraph::XLabels() const {
  const Range r = RangeOf(series_.x);
  return Scale(series_.x, r.low, r.high, [&](double v) { return XSeriesLabel(units_, choice_.xSelector, v); });
}

QStringList TrackGraph::LeftLabels() const {
  const Range r = RangeOf(series_.left);
  return Scale(series_.left, r.low, r.high, [&](double v) { return YSeriesLabel(units_, choice_.leftSelector, v); });
}

QStringList TrackGraph::RightLabels() const {
  const Range r = RangeOf(series_.right);
  return Scale(series_.right, r.low, r.high,
               [&](double v) { return YSeriesLabel(units_, choice_.rightSelector, v); });
}

QRect TrackGraph::PlotRect(const QRect& area) const {
  const QFontMetrics metrics(GraphFont(font()));
  const QStringList xLabels = XLabels();
  // Room for half of the outer x labels, which are centred on the frame's
  // corners, and for the y labels beside the frame.
  const int halfX = xLabels.isEmpty() ? 0 : WidestText(metrics, xLabels) / 2;
  const int left = std::max(kGap + halfX, LeftLabels().isEmpty() ? kGap : WidestText(metrics, LeftLabels()) + 2 * kGap);
  const int right =
      std::max(kGap + halfX, RightLabels().isEmpty() ? kGap : WidestText(metrics, RightLabels()) + 2 * kGap);
  const int top = metrics.height() / 2 + kGap;
  const int bottom = metrics.height() + 2 * kGap;
  QRect plot = area.adjusted(left, top, -right, -bottom);
  if (plot.width() < 2 || plot.height() < 2) plot = QRect(area.topLeft(), QSize(std::max(2, area.width()), std::max(2, area.height())));
  return plot;
}

void TrackGraph::DrawCurve(QPainter& painter, const QRect& plot, const std::vector<double>& y, const Range& yRange,
                           QRgb colour) const {
  const Range xRange = RangeOf(series_.x);
  const std::size_t n = std::min(series_.x.size(), y.size());
  if (n == 0) return;
  const double width = plot.width() - 1, height = plot.height() - 1;
  auto place = [&](std::size_t i) {
    const double fx = (series_.x[i] - xRange.low) / (xRange.high - xRange.low);
    const double fy = (y[i] - yRange.low) / (yRange.high - yRange.low);
    return QPointF(plot.left() + fx * width, plot.bottom() - fy * height);
  };
  QPen pen{QColor::fromRgb(colour)};
  pen.setWidth(2);
  painter.setPen(pen);
  painter.setClipRect(plot);
  std::optional<QPointF> previous;
  for (std::size_t i = 0; i < n; ++i) {
    if (IsMissing(series_.x[i]) || IsMissing(y[i])) {
      previous.reset();
      continue;
    }
    const QPointF p = place(i);
    if (previous) painter.drawLine(*previous, p);
    else painter.drawPoint(p);
    previous = p;
  }
  painter.setClipping(false);
}

void TrackGraph::Draw(QPainter& painter, const QRect& area) const {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(area, Qt::white);
  painter.setFont(GraphFont(font()));
  const QFontMetrics metrics(painter.font());
  const QRect plot = PlotRect(area);

  // Grid lines at the scale labels, then the frame over them.
  painter.setPen(QColor::fromRgb(kGridColour));
  for (int i = 1; i < kTicks - 1; ++i) {
    const int x = plot.left() + (plot.width() - 1) * i / (kTicks - 1);
    const int y = plot.bottom() - (plot.height() - 1) * i / (kTicks - 1);
    painter.drawLine(x, plot.top(), x, plot.bottom());
    painter.drawLine(plot.left(), y, plot.right(), y);
  }
  painter.setPen(QColor::fromRgb(kFrameColour));
  painter.drawRect(plot.adjusted(0, 0, -1, -1));

  const QStringList xLabels = XLabels();
  for (int i = 0; i < xLabels.size(); ++i) {
    const int x = plot.left() + (plot.width() - 1) * i / (kTicks - 1);
    const int w = metrics.horizontalAdvance(xLabels[i]);
    painter.drawText(QRect(x - w / 2, plot.bottom() + kGap, w, metrics.height()), Qt::AlignCenter, xLabels[i]);
  }
  auto yLabels = [&](const QStringList& labels, bool leftSide, QRgb colour) {
    painter.setPen(QColor::fromRgb(colour));
    for (int i = 0; i < labels.size(); ++i) {
      const int y = plot.bottom() - (plot.height() - 1) * i / (kTicks - 1);
      const int w = metrics.horizontalAdvance(labels[i]);
      const int x = leftSide ? plot.left() - kGap - w : plot.right() + kGap;
      painter.drawText(QRect(x, y - metrics.height() / 2, w, metrics.height()),
                       (leftSide ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, labels[i]);
    }
  };
  yLabels(LeftLabels(), true, kLeftColour);
  yLabels(RightLabels(), false, kRightColour);

  DrawCurve(painter, plot, series_.left, RangeOf(series_.left), kLeftColour);
  DrawCurve(painter, plot, series_.right, RangeOf(series_.right), kRightColour);
  painter.restore();
}

void TrackGraph::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Draw(painter, rect());
}

// ---- the dialog --------------------------------------------------------------

TrackAnalyzerDialog::TrackAnalyzerDialog(Waypoints& waypoints, SettingsStore& settings, const LanguageTable& language,
                                         QWidget* parent, DialogAsker asker, FileChooser chooser)
    : QDialog(parent),
      waypoints_(waypoints),
      settings_(settings),
      language_(language),
      asker_(WithDefaultBoxes(std::move(asker), language, this)),
      chooser_(std::move(chooser)) {
  // The menu has no text of its own for the analyzer: its first label names it.
  setWindowTitle(WithoutColon(Text(language, lang::kAnalyzerTrack)));
  if (!chooser_) {
    const std::string folder = settings_.primaryDataPath;
    chooser_ = [this, folder](const QString& suggested) -> std::optional<std::filesystem::path> {
      const std::string filter(kTsfFilter.substr(0, kTsfFilter.find('|')));
      const QString file = QFileDialog::getSaveFileName(
          this, WithoutColon(Text(language_, lang::kAnalyzerExport)).remove("..."),
          Q((std::filesystem::path(folder) / suggested.toStdString()).string()), Q(filter));
      if (file.isEmpty()) return std::nullopt;
      return std::filesystem::path(file.toStdString());
    };
  }

  auto* layout = new QVBoxLayout(this);
  auto* pickers = new QGridLayout;
  track_ = new QComboBox(this);
  track_->setObjectName("track");
  for (POIs* c : waypoints_.Collections()) {
    if (c->kind() == PoisKind::POIs) continue;
    collections_.push_back(c);
    track_->addItem(Q(c->FullName()));
  }
  x_ = new QComboBox(this);
  x_->setObjectName("xSelector");
  for (const int entry : kXEntries) x_->addItem(Text(language, entry));
  left_ = new QComboBox(this);
  left_->setObjectName("leftSelector");
  right_ = new QComboBox(this);
  right_->setObjectName("rightSelector");
  for (const int entry : kYEntries) {
    left_->addItem(Text(language, entry));
    right_->addItem(Text(language, entry));
  }
  x_->setCurrentIndex(Clamped(settings_.xSelector, kXSelectors));
  left_->setCurrentIndex(Clamped(settings_.leftSelector, kYSelectors));
  right_->setCurrentIndex(Clamped(settings_.rightSelector, kYSelectors));

  const std::pair<int, QComboBox*> rows[] = {
      {lang::kAnalyzerTrack, track_}, {lang::kAnalyzerXAxis, x_}, {lang::kAnalyzerLeftAxis, left_},
      {lang::kAnalyzerRightAxis, right_}};
  int row = 0;
  for (const auto& [entry, box] : rows) {
    pickers->addWidget(new QLabel(Text(language, entry), this), row, 0);
    pickers->addWidget(box, row, 1);
    ++row;
  }
  pickers->setColumnStretch(1, 1);
  layout->addLayout(pickers);

  graph_ = new TrackGraph(this);
  graph_->setObjectName("graph");
  layout->addWidget(graph_, 1);

  auto* buttons = new QHBoxLayout;
  export_ = new QPushButton(Text(language, lang::kAnalyzerExport), this);
  export_->setObjectName("export");
  auto* close = new QPushButton(Text(language, lang::kButtonOk), this);
  buttons->addWidget(export_);
  buttons->addStretch(1);
  buttons->addWidget(close);
  layout->addLayout(buttons);

  // The current collection when it is a route or track, else the first one.
  if (!ChooseCollection(waypoints_.current()) && !collections_.empty()) track_->setCurrentIndex(0);
  Refresh();

  connect(track_, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
  for (QComboBox* box : {x_, left_, right_})
    connect(box, &QComboBox::currentIndexChanged, this, [this] { SelectorsChanged(); });
  connect(export_, &QPushButton::clicked, this, [this] { Export(); });
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  resize(480, 400);
}

bool TrackAnalyzerDialog::ChooseCollection(const POIs* collection) {
  const auto found = std::find(collections_.begin(), collections_.end(), collection);
  if (collection == nullptr || found == collections_.end()) return false;
  track_->setCurrentIndex(static_cast<int>(found - collections_.begin()));
  return true;
}

POIs* TrackAnalyzerDialog::chosenCollection() const {
  const int index = track_->currentIndex();
  return index >= 0 && index < static_cast<int>(collections_.size()) ? collections_[index] : nullptr;
}

void TrackAnalyzerDialog::SelectorsChanged() {
  settings_.xSelector = x_->currentIndex();
  settings_.leftSelector = left_->currentIndex();
  settings_.rightSelector = right_->currentIndex();
  Refresh();
}

void TrackAnalyzerDialog::Refresh() {
  TrackSeries series;
  const TrackSeriesChoice choice = TrackSeriesChoiceOf(settings_);
  if (POIs* collection = chosenCollection()) {
    // A file dropped from memory is read again before its points are used.
    waypoints_.EnsureLoaded(collection->file());
    const std::vector<GeoPoint> points = collection->Points();
    series = BuildTrackSeries(points, choice);
  }
  graph_->SetSeries(series, choice, UnitChoiceOf(settings_));
}

TsfLabels TrackAnalyzerDialog::Labels() const {
  TsfLabels labels;
  for (int i = 0; i < kXSelectors; ++i) labels.x[i] = language_.Entry(kXEntries[i]);
  for (int i = 1; i < kYSelectors; ++i) labels.y[i] = language_.Entry(kYEntries[i]);
  return labels;
}

bool TrackAnalyzerDialog::Export() {
  Refresh();
  POIs* collection = chosenCollection();
  if (collection == nullptr || graph_->series().x.empty()) {
    asker_.message(Text(language_, lang::kAnalyzerNoTrack));
    return false;
  }
  const std::optional<std::filesystem::path> chosen = chooser_(Q(DefaultTsfName(collection->name())));
  if (!chosen || chosen->empty()) return false;
  std::filesystem::path file = *chosen;
  if (!file.has_extension()) file += "." + std::string(kTsfExtension);

  const std::string text =
      TsfText(graph_->series(), TrackSeriesChoiceOf(settings_), Labels(), UnitChoiceOf(settings_));
  // WriteTsfFile logs a failure; the user gets no message then.
  if (!WriteTsfFile(file, text)) return false;
  asker_.message(QString("%1 %2:\n\n%3")
                     .arg(Text(language_, lang::kAnalyzerExported), Text(language_, lang::kAnalyzerExportedTo),
                          Q(file.string())));
  return true;
}

}  // namespace rovana::dialogs
