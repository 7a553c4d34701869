// The satellite status dialog: the satellites of the last GSV cycle as a sky
// plot (azimuth around, elevation inwards; filled when used in the fix) and
// as signal bars, with the number in view and the receiver's UTC time. It
// reads a copy of the GPS record once a second through `source`, which the
// GPS connection answers under its own lock.
#pragma once

#include <QDialog>
#include <functional>

#include "app/gps/GpsData.h"

class QLabel;
class QTimer;

namespace rovana {
class LanguageTable;
}

namespace rovana::dialogs {

class SkyView;

class SatelliteDialog : public QDialog {
  Q_OBJECT

 public:
  SatelliteDialog(const LanguageTable& language, std::function<GpsData()> source, QWidget* parent = nullptr);

  // Takes a fresh copy and redraws (the timer calls it every second).
  void Refresh();
  const GpsData& shown() const { return data_; }
  QString summary() const;  // the text line above the plot

 private:
  const LanguageTable& language_;
  std::function<GpsData()> source_;
  GpsData data_;
  QLabel* summary_ = nullptr;
  SkyView* sky_ = nullptr;
  QTimer* timer_ = nullptr;
};

// The plot itself, drawn from the record it is given.
class SkyView : public QWidget {
  Q_OBJECT

 public:
  explicit SkyView(QWidget* parent = nullptr);
  void Show(const GpsData& data);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  GpsData data_;
};

}  // namespace rovana::dialogs
