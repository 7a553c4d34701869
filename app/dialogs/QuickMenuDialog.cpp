#include "app/dialogs/QuickMenuDialog.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"

namespace rovana::dialogs {

using screen::QuickButton;
using screen::QuickKind;

// Paints the nine buttons itself: a framed cell each with an icon (a page
// arrow, a dot for commands) and the caption, the focus frame on one of them.
class QuickMenuGrid : public QWidget {
 public:
  explicit QuickMenuGrid(QuickMenuDialog& owner) : QWidget(&owner), owner_(owner) {
    setMinimumSize(screen::Scale(180, owner.dpi_), screen::Scale(180, owner.dpi_));
    setFocusPolicy(Qt::NoFocus);
  }

  QRect Cell(int index) const {
    const int w = width() / 3, h = height() / 3;
    return QRect((index % 3) * w, (index / 3) * h, w, h);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), QColor(0xFA, 0xFA, 0xFA));
    const auto buttons = screen::QuickButtons(screen::QuickPageFrom(owner_.page_));
    const int pad = screen::Scale(3, owner_.dpi_);
    for (int i = 0; i < screen::kQuickButtons; ++i) {
      const QuickButton& b = buttons[static_cast<std::size_t>(i)];
      const QRect cell = Cell(i).adjusted(pad, pad, -pad, -pad);
      if (b.kind == QuickKind::Empty) continue;
      // Plain, highlighted (the function is on), the second style (recording).
      static const QColor kFills[] = {QColor(0xE8, 0xE8, 0xF0), QColor(0xB0, 0xE0, 0xB0), QColor(0xF0, 0x90, 0x90)};
      const int style = b.kind == QuickKind::Command && owner_.highlight_ ? owner_.highlight_(b.target) : 0;
      const QColor& fill = kFills[style >= 0 && style < 3 ? style : 0];
      p.setPen(QPen(QColor(0x60, 0x60, 0x70), 1));
      p.setBrush(fill);
      p.drawRoundedRect(cell, pad * 2, pad * 2);
      // Icon: a triangle for page buttons, a disc for commands.
      const QRect icon(cell.center().x() - cell.width() / 6, cell.top() + cell.height() / 8, cell.width() / 3,
                       cell.height() / 3);
      p.setBrush(QColor(0x40, 0x70, 0xC0));
      if (b.kind == QuickKind::Page) {
        const QPoint tri[3] = {icon.topLeft(), icon.bottomLeft(), QPoint(icon.right(), icon.center().y())};
        p.drawPolygon(tri, 3);
      } else {
        p.drawEllipse(icon);
      }
      p.setPen(Qt::black);
      QFont font("Arial");
      font.setPixelSize(screen::Scale(10, owner_.dpi_));
      p.setFont(font);
      p.drawText(cell.adjusted(2, cell.height() / 2, -2, -2), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                 owner_.Caption(i));
    }
    p.setPen(QPen(QColor(0xFF, 0x80, 0x00), screen::Scale(2, owner_.dpi_)));
    p.setBrush(Qt::NoBrush);
    p.drawRect(Cell(owner_.focus_).adjusted(1, 1, -1, -1));
  }

  void mouseReleaseEvent(QMouseEvent* event) override {
    for (int i = 0; i < screen::kQuickButtons; ++i)
      if (Cell(i).contains(event->position().toPoint())) {
        owner_.Press(i);
        return;
      }
  }

 private:
  QuickMenuDialog& owner_;
};

QuickMenuDialog::QuickMenuDialog(const LanguageTable& language, int page, Highlight highlight, int dpi, QWidget* parent)
    : QDialog(parent), language_(language), highlight_(std::move(highlight)), dpi_(dpi) {
  setWindowTitle(QString::fromStdString(language_.Entry(lang::kQuickMenuButton)));
  auto* layout = new QVBoxLayout(this);
  title_ = new QLabel(this);
  title_->setAlignment(Qt::AlignCenter);
  layout->addWidget(title_);
  grid_ = new QuickMenuGrid(*this);
  layout->addWidget(grid_, 1);
  auto* box = new QDialogButtonBox(this);
  QPushButton* back = box->addButton(QString::fromStdString(language_.Entry(lang::kButtonBack)), QDialogButtonBox::RejectRole);
  back->setFocusPolicy(Qt::NoFocus);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(box);
  setFocusPolicy(Qt::StrongFocus);
  ShowPage(page);
}

QWidget* QuickMenuDialog::grid() const { return grid_; }

QRect QuickMenuDialog::ButtonRect(int index) const { return grid_->Cell(index); }

QString QuickMenuDialog::Caption(int index) const {
  if (index < 0 || index >= screen::kQuickButtons) return {};
  const QuickButton& b = screen::QuickButtons(screen::QuickPageFrom(page_))[static_cast<std::size_t>(index)];
  if (b.kind == QuickKind::Empty) return {};
  return QString::fromStdString(language_.Entry(b.caption));
}

void QuickMenuDialog::ShowPage(int page) {
  page_ = static_cast<int>(screen::QuickPageFrom(page));
  title_->setText(QString::fromStdString(language_.Title(screen::QuickPageTitle(screen::QuickPageFrom(page_)))));
  grid_->update();
}

void QuickMenuDialog::Press(int index) {
  if (index < 0 || index >= screen::kQuickButtons) return;
  focus_ = index;
  const QuickButton& b = screen::QuickButtons(screen::QuickPageFrom(page_))[static_cast<std::size_t>(index)];
  switch (b.kind) {
    case QuickKind::Empty: break;
    case QuickKind::Page: ShowPage(b.target); break;
    case QuickKind::Command:
      command_ = b.target;
      accept();
      break;
  }
  grid_->update();
}

void QuickMenuDialog::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left: focus_ = screen::MoveFocus(focus_, -1, 0); break;
    case Qt::Key_Right: focus_ = screen::MoveFocus(focus_, 1, 0); break;
    case Qt::Key_Up: focus_ = screen::MoveFocus(focus_, 0, -1); break;
    case Qt::Key_Down: focus_ = screen::MoveFocus(focus_, 0, 1); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: Press(focus_); return;
    default: QDialog::keyPressEvent(event); return;
  }
  grid_->update();
}

}  // namespace rovana::dialogs
