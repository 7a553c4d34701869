#include "app/dialogs/MapDetailsDialog.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/maps/GridConverter.h"
#include "app/maps/MapImage.h"

namespace rovana::dialogs {
namespace {

constexpr double kDegrees = 180.0 / 3.14159265358979323846;

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }

// The leading whole number of the text, as "%d" reads it.
std::optional<int> ReadInt(const QString& text) {
  const std::string s = text.trimmed().toStdString();
  int value = 0;
  const char* begin = s.data();
  if (!s.empty() && s.front() == '+') ++begin;
  auto [end, error] = std::from_chars(begin, s.data() + s.size(), value);
  if (error != std::errc() || end == begin) return std::nullopt;
  return value;
}

// The leading number of the text in the C locale, as "%lf" reads it.
std::optional<double> ReadDouble(const QString& text) {
  const std::string s = text.trimmed().toStdString();
  double value = 0;
  const char* begin = s.data();
  if (!s.empty() && s.front() == '+') ++begin;
  auto [end, error] = std::from_chars(begin, s.data() + s.size(), value);
  if (error != std::errc() || end == begin || !std::isfinite(value)) return std::nullopt;
  return value;
}

QString Number(double value, int decimals) { return QString::number(value, 'f', decimals); }

}  // namespace

MapDetailsDialog::MapDetailsDialog(maps::MapImage& map, maps::GridConverter& grids, const LanguageTable& language,
                                   QWidget* parent, std::function<void()> applied)
    : QDialog(parent), map_(map), applied_(std::move(applied)) {
  setWindowTitle(Text(language, lang::kMapDetailsTitle));
  auto* layout = new QVBoxLayout(this);
  auto* tabs = new QTabWidget(this);
  layout->addWidget(tabs);
  auto* page = new QWidget(tabs);
  tabs->addTab(page, Text(language, lang::kMapTabCalibration));
  auto* grid = new QGridLayout(page);
  int row = 0;

  name_ = new QLabel(QString::fromStdString(map.name()), page);
  name_->setObjectName("name");
  grid->addWidget(name_, row++, 0, 1, 4);
  size_ = new QLabel(Text(language, lang::kMapPixelSize) + " " + QString::number(map.width()) + " x " +
                         QString::number(map.height()),
                     page);
  size_->setObjectName("size");
  grid->addWidget(size_, row++, 0, 1, 4);

  onePoint_ = new QRadioButton(Text(language, lang::kMapMethod1), page);
  twoPoint_ = new QRadioButton(Text(language, lang::kMapMethod2), page);
  auto* methods = new QButtonGroup(this);
  methods->addButton(onePoint_);
  methods->addButton(twoPoint_);
  (map.method() == maps::CalibrationMethod::TwoPoint && map.calibrated() ? twoPoint_ : onePoint_)->setChecked(true);
  grid->addWidget(onePoint_, row, 0, 1, 2);
  grid->addWidget(twoPoint_, row++, 2, 1, 2);
  connect(onePoint_, &QRadioButton::toggled, this, [this] { UpdateEnabled(); });

  grid->addWidget(new QLabel(Text(language, lang::kMapAlignToGrid), page), row, 0, 1, 2);
  grid_ = new QComboBox(page);
  grid_->setObjectName("grid");
  for (const maps::GridChoice& choice : grids.Grids()) {
    grid_->addItem(QString::fromStdString(choice.name), choice.id);
    if (choice.id == map.grid()) grid_->setCurrentIndex(grid_->count() - 1);
  }
  grid->addWidget(grid_, row++, 2, 1, 2);

  auto addEdit = [&](Field field, const QString& label, const QString& value, int column) {
    grid->addWidget(new QLabel(label, page), row, column);
    auto* edit = new QLineEdit(value, page);
    edit->setObjectName(QString("field%1").arg(field));
    grid->addWidget(edit, row, column + 1);
    edits_[field] = edit;
  };
  auto reference = [&](int entry, Field x, Field y, Field lat, Field lon, maps::MapPoint pixel,
                       maps::MapPoint position) {
    grid->addWidget(new QLabel(Text(language, entry), page), row++, 0, 1, 4);
    addEdit(x, "x (px)", QString::number(static_cast<int>(std::trunc(pixel.x))), 0);
    addEdit(y, "y (px)", QString::number(static_cast<int>(std::trunc(pixel.y))), 2);
    ++row;
    addEdit(lat, "lat", Number(position.y * kDegrees, 8), 0);
    addEdit(lon, "lon", Number(position.x * kDegrees, 8), 2);
    ++row;
  };
  reference(lang::kMapReference1, X1, Y1, Lat1, Lon1, map.reference1Pixel(), map.reference1Position());
  addEdit(WidthM, Text(language, lang::kMapGroundWidth) + " (m):", Number(map.widthM(), 2), 0);
  ++row;
  reference(lang::kMapReference2, X2, Y2, Lat2, Lon2, map.reference2Pixel(), map.reference2Position());

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(Text(language, lang::kButtonOk), QDialogButtonBox::AcceptRole);
  ok->setObjectName("ok");
  QPushButton* cancel = buttons->addButton(Text(language, lang::kButtonCancel), QDialogButtonBox::RejectRole);
  connect(ok, &QPushButton::clicked, this, &MapDetailsDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(buttons);
  UpdateEnabled();
}

void MapDetailsDialog::UpdateEnabled() {
  const bool two = twoPoint_->isChecked();
  for (Field f : {X2, Y2, Lat2, Lon2}) edits_[f]->setEnabled(two);
  edits_[WidthM]->setEnabled(!two);
}

void MapDetailsDialog::accept() {
  auto pixel = [this](Field field, double current) {
    std::optional<int> v = ReadInt(edits_[field]->text());
    return v ? static_cast<double>(*v) : current;
  };
  auto degrees = [this](Field field, double currentRadians) {
    std::optional<double> v = ReadDouble(edits_[field]->text());
    return v ? *v / kDegrees : currentRadians;
  };
  const maps::MapPoint p1{pixel(X1, map_.reference1Pixel().x), pixel(Y1, map_.reference1Pixel().y)};
  const maps::MapPoint p2{pixel(X2, map_.reference2Pixel().x), pixel(Y2, map_.reference2Pixel().y)};
  const maps::MapPoint q1{degrees(Lon1, map_.reference1Position().x), degrees(Lat1, map_.reference1Position().y)};
  const maps::MapPoint q2{degrees(Lon2, map_.reference2Position().x), degrees(Lat2, map_.reference2Position().y)};
  const double widthM = ReadDouble(edits_[WidthM]->text()).value_or(map_.widthM());
  const int gridId = grid_->currentData().toInt();
  if (onePoint_->isChecked())
    map_.Calibrate1Point(p1.x, p1.y, q1.x, q1.y, widthM, gridId, true);
  else
    map_.Calibrate2Point(p1, q1, p2, q2, gridId);
  if (applied_) applied_();
  QDialog::accept();
}

}  // namespace rovana::dialogs
