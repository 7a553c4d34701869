// The POI dialog: its two pages, the attachment actions and what OK stores.
#include "app/dialogs/PoiDialog.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/coords/Units.h"
#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/core/Utilities.h"
#include "app/dialogs/AudioNote.h"
#include "app/ui/Symbols.h"
#include "app/waypoints/Attachments.h"
#include "app/waypoints/POIs.h"
#include "app/waypoints/Waypoints.h"

namespace rovana::dialogs {

namespace fs = std::filesystem;

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

// Degrees with six decimals (about 10 cm), in the C locale.
QString Degrees(double radians) { return Q(FormatFixed(radians * 180 / kPi, 6)) + QChar(0x00B0); }

// The number as a tel: URL takes it: spaces and other blanks left out.
QString DialString(const QString& phone) {
  QString out;
  for (const QChar c : phone)
    if (!c.isSpace()) out += c;
  return out;
}

}  // namespace

PoiDialog::PoiDialog(Waypoints& waypoints, SettingsStore& settings, const LanguageTable& language,
                     const ui::SymbolTable& symbols, QWidget* parent, PoiDialogHooks hooks, bool adding)
    : QDialog(parent), waypoints_(waypoints), settings_(settings), language_(language), symbols_(symbols),
      hooks_(std::move(hooks)), adding_(adding) {
  InstallDefaultHooks();
  temporary_ = TemporaryRecordingPath(settings_.primaryDataPath);
}

PoiDialog::PoiDialog(Waypoints& waypoints, SettingsStore& settings, const LanguageTable& language,
                     const ui::SymbolTable& symbols, const GeoPoint& position, QWidget* parent,
                     PoiDialogHooks hooks)
    : PoiDialog(waypoints, settings, language, symbols, parent, std::move(hooks), true) {
  setWindowTitle(Q(language_.Title(lang::kMenuGpxAddPoi)));
  working_ = GeoPoint(position.latitude(), position.longitude(), position.altitude());
  working_.StampNow(settings_.poiStyle);
  ready_ = waypoints_.current() != nullptr;
  Build();
  Load();
}

PoiDialog::PoiDialog(Waypoints& waypoints, SettingsStore& settings, const LanguageTable& language,
                     const ui::SymbolTable& symbols, QWidget* parent, PoiDialogHooks hooks)
    : PoiDialog(waypoints, settings, language, symbols, parent, std::move(hooks), false) {
  setWindowTitle(Q(language_.Title(lang::kMenuGpxPoiDetails)));
  source_ = waypoints_.current();
  if (source_ && waypoints_.EnsureLoaded(source_->file())) point_ = source_->SelectedStoredPoint();
  if (point_) working_ = *point_;
  ready_ = point_ != nullptr;
  Build();
  Load();
}

PoiDialog::~PoiDialog() {
  StopAudio();
  audio_.reset();
}

void PoiDialog::InstallDefaultHooks() {
  hooks_.asker = WithDefaultBoxes(std::move(hooks_.asker), language_, this);
  if (!hooks_.openUrl) hooks_.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  if (!hooks_.pickPicture)
    hooks_.pickPicture = [this](const QString& start, const QString& filters) {
      return QFileDialog::getOpenFileName(this, Text(lang::kPoiPicture), start, filters);
    };
}

QString PoiDialog::Text(int entry) const { return Q(language_.Entry(entry)); }

bool PoiDialog::AddPoi(Waypoints& waypoints, SettingsStore& settings, const LanguageTable& language,
                       const ui::SymbolTable& symbols, const GeoPoint& position, QWidget* parent,
                       PoiDialogHooks hooks) {
  PoiDialog dialog(waypoints, settings, language, symbols, position, parent, std::move(hooks));
  if (!dialog.ready()) {
    dialog.hooks_.asker.message(dialog.Text(lang::kPoiNeedsFile));
    return false;
  }
  return dialog.exec() == QDialog::Accepted && dialog.storedPoint() != nullptr;
}

bool PoiDialog::ShowDetails(Waypoints& waypoints, SettingsStore& settings, const LanguageTable& language,
                            const ui::SymbolTable& symbols, QWidget* parent, PoiDialogHooks hooks) {
  PoiDialog dialog(waypoints, settings, language, symbols, parent, std::move(hooks));
  if (!dialog.ready()) {
    if (!waypoints.current())
      dialog.hooks_.asker.message(dialog.Text(lang::kPoiNeedsFile));
    else
      LogMessage("POI details: the current collection has no point");
    return false;
  }
  return dialog.exec() == QDialog::Accepted && dialog.storedPoint() != nullptr;
}

GeoPoint* PoiDialog::AddPointNow(Waypoints& waypoints, const SettingsStore& settings, const GeoPoint& position) {
  POIs* current = waypoints.current();
  if (!current || !waypoints.EnsureLoaded(current->file())) return nullptr;
  GeoPoint point(position.latitude(), position.longitude(), position.altitude());
  point.StampNow(settings.poiStyle);
  GeoPoint* stored = current->AddPoint(std::move(point), -1, true);
  if (stored) current->SelectPoint(*stored);
  waypoints.RecomputeBounds(current->file());
  return stored;
}

// ---------------------------------------------------------------------------
// Layout

void PoiDialog::Build() {
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("tabs");
  tabs_->addTab(BuildGeneralPage(), Text(lang::kWordGeneral));
  tabs_->addTab(BuildAttachmentsPage(), Text(lang::kPoiTabAttachments));
  tabs_->setCurrentIndex(std::clamp<int>(settings_.poiTab, 0, tabs_->count() - 1));
  layout->addWidget(tabs_, 1);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(Text(lang::kButtonOk), QDialogButtonBox::AcceptRole);
  ok->setObjectName("ok");
  ok->setEnabled(ready_);
  QPushButton* cancel = buttons->addButton(Text(lang::kButtonCancel), QDialogButtonBox::RejectRole);
  connect(ok, &QPushButton::clicked, this, &PoiDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &PoiDialog::reject);
  layout->addWidget(buttons);
}

QWidget* PoiDialog::BuildGeneralPage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  name_ = new QLineEdit(page);
  name_->setObjectName("name");
  form->addRow(Text(lang::kWordName) + ":", name_);
  desc_ = new QPlainTextEdit(page);
  desc_->setObjectName("desc");
  form->addRow(Text(lang::kWordDescription) + ":", desc_);

  symbol_ = new QComboBox(page);
  symbol_->setObjectName("symbol");
  symbol_->setIconSize(QSize(ui::kSymbolSize, ui::kSymbolSize));
  for (const std::string& name : symbols_.Names())
    symbol_->addItem(QIcon(QPixmap::fromImage(symbols_.Find(name).icon)), Q(name));
  form->addRow(Text(lang::kWordSymbol) + ":", symbol_);

  collection_ = new QComboBox(page);
  collection_->setObjectName("collection");
  form->addRow(Text(lang::kPoiCollection), collection_);

  position_ = new QLabel(page);
  position_->setObjectName("position");
  position_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  form->addRow(Text(lang::kWordPosition) + ":", position_);
  return page;
}

QWidget* PoiDialog::BuildAttachmentsPage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);

  auto* pictureRow = new QHBoxLayout;
  picture_ = new QLineEdit(page);
  picture_->setObjectName("picture");
  pickPicture_ = new QPushButton("...", page);
  pickPicture_->setObjectName("pickPicture");
  connect(pickPicture_, &QPushButton::clicked, this, &PoiDialog::PickPicture);
  pictureRow->addWidget(picture_, 1);
  pictureRow->addWidget(pickPicture_);
  form->addRow(Text(lang::kPoiPicture), pictureRow);

  link_ = new QLineEdit(page);
  link_->setObjectName("link");
  connect(link_, &QLineEdit::editingFinished, this, &PoiDialog::CompleteLink);
  form->addRow(Text(lang::kPoiLink), link_);

  auto* phoneRow = new QHBoxLayout;
  phone_ = new QLineEdit(page);
  phone_->setObjectName("phone");
  phone_->setInputMethodHints(Qt::ImhDialableCharactersOnly);
  call_ = new QPushButton(Text(lang::kPoiCall), page);
  call_->setObjectName("call");
  connect(call_, &QPushButton::clicked, this, &PoiDialog::Call);
  phoneRow->addWidget(phone_, 1);
  phoneRow->addWidget(call_);
  form->addRow(Text(lang::kPoiPhone), phoneRow);

  audioLabel_ = new QLabel(page);
  audioLabel_->setObjectName("audio");
  form->addRow(Text(lang::kPoiAudio), audioLabel_);
  auto* audioRow = new QHBoxLayout;
  record_ = new QPushButton(Text(lang::kPoiRecord), page);
  record_->setObjectName("record");
  play_ = new QPushButton(Text(lang::kPoiPlay), page);
  play_->setObjectName("play");
  deleteAudio_ = new QPushButton(Text(lang::kButtonDelete), page);
  deleteAudio_->setObjectName("deleteAudio");
  connect(record_, &QPushButton::clicked, this, &PoiDialog::ToggleRecording);
  connect(play_, &QPushButton::clicked, this, &PoiDialog::TogglePlaying);
  connect(deleteAudio_, &QPushButton::clicked, this, &PoiDialog::DeleteAudioNote);
  audioRow->addWidget(record_);
  audioRow->addWidget(play_);
  audioRow->addWidget(deleteAudio_);
  audioRow->addStretch(1);
  form->addRow(QString(), audioRow);
  return page;
}

void PoiDialog::FillCollections() {
  collections_.clear();
  POIs* own = adding_ ? waypoints_.current() : source_;
  for (POIs* c : waypoints_.Collections())
    if (c == own || c->kind() != PoisKind::Track) collections_.push_back(c);
  for (POIs* c : collections_) collection_->addItem(Q(c->FullName()));
  const auto at = std::find(collections_.begin(), collections_.end(), own);
  if (at != collections_.end()) collection_->setCurrentIndex(static_cast<int>(at - collections_.begin()));
}

void PoiDialog::Load() {
  FillCollections();
  name_->setText(Q(working_.name()));
  desc_->setPlainText(Q(working_.text(PointText::Desc)));
  // The symbol the point names; one the table does not know stays choosable
  // so that OK does not change it.
  const QString sym = Q(working_.sym().empty() ? std::string("Default") : working_.sym());
  int index = symbol_->findText(sym);
  if (index < 0) {
    symbol_->addItem(sym);
    index = symbol_->count() - 1;
  }
  symbol_->setCurrentIndex(index);

  const UnitChoice units = UnitChoiceOf(settings_);
  position_->setText(QString("%1: %2\n%3: %4\n%5: %6")
                         .arg(Text(lang::kWordLatitude), Degrees(working_.latitude()), Text(lang::kWordLongitude),
                              Degrees(working_.longitude()), Text(lang::kWordAltitude),
                              Q(FormatAltitude(units, working_.altitude()).Joined())));
  picture_->setText(Q(working_.text(PointText::Pic)));
  link_->setText(Q(working_.text(PointText::Link)));
  phone_->setText(Q(working_.text(PointText::Phone)));

  hasNote_ = ready_ && PrepareTemporaryNote(working_, SourceFolder(), temporary_);
  newRecording_ = false;
  UpdateAudioControls();
}

fs::path PoiDialog::SourceFolder() const {
  if (source_) return source_->file().AttachmentFolder();
  if (POIs* current = waypoints_.current()) return current->file().AttachmentFolder();
  return {};
}

// ---------------------------------------------------------------------------
// Attachments

void PoiDialog::PickPicture() {
  QString start = picture_->text();
  if (start.isEmpty()) start = Q(settings_.primaryDataPath);
  const QString chosen = hooks_.pickPicture(start, QString::fromLatin1(kPictureFilters));
  if (!chosen.isEmpty()) picture_->setText(chosen);
}

void PoiDialog::CompleteLink() {
  const std::string completed = WithLinkScheme(S(link_->text().trimmed()));
  if (Q(completed) != link_->text()) link_->setText(Q(completed));
}

void PoiDialog::Call() {
  const QString number = DialString(phone_->text());
  if (number.isEmpty()) return;
  const QUrl url(QStringLiteral("tel:") + number);
  if (!hooks_.openUrl(url)) LogMessage("Call: nothing took %s", url.toString().toUtf8().constData());
}

void PoiDialog::UpdateAudioControls() {
  const bool available = ready_ && AudioNote::Available();
  const bool recording = audio_ && audio_->recording();
  const bool playing = audio_ && audio_->playing();
  record_->setEnabled(available && !playing);
  record_->setText(Text(recording ? lang::kButtonStop : lang::kPoiRecord));
  play_->setEnabled(available && hasNote_ && !recording);
  play_->setText(Text(playing ? lang::kButtonStop : lang::kPoiPlay));
  deleteAudio_->setEnabled(ready_ && hasNote_ && !recording);
  QString shown;
  if (newRecording_)
    shown = Q(std::string(kTemporaryRecordingName));
  else if (hasNote_)
    shown = Q(working_.text(PointText::Wav));
  else
    shown = Text(lang::kWordNone);
  if (audio_ && !audio_->lastError().isEmpty()) shown += " (" + audio_->lastError() + ")";
  audioLabel_->setText(shown);
}

AudioNote& PoiDialog::Audio() {
  if (!audio_) {
    audio_ = std::make_unique<AudioNote>(nullptr, hooks_.audioInput);
    connect(audio_.get(), &AudioNote::recordingFinished, this, &PoiDialog::RecordingFinished);
    connect(audio_.get(), &AudioNote::playingFinished, this, &PoiDialog::UpdateAudioControls);
  }
  return *audio_;
}

void PoiDialog::ToggleRecording() {
  AudioNote& audio = Audio();
  if (audio.recording())
    audio.StopRecording();
  else
    audio.StartRecording(temporary_);
  UpdateAudioControls();
}

void PoiDialog::RecordingFinished(bool ok) {
  if (ok) {
    hasNote_ = true;
    newRecording_ = true;
  }
  UpdateAudioControls();
}

void PoiDialog::TogglePlaying() {
  AudioNote& audio = Audio();
  if (audio.playing())
    audio.StopPlaying();
  else
    audio.Play(temporary_);
  UpdateAudioControls();
}

void PoiDialog::StopAudio() {
  if (!audio_) return;
  audio_->StopPlaying();
  if (audio_->recording()) {
    // A recording cut short by OK, Cancel or Delete is not kept; the next
    // use makes a fresh recorder.
    audio_->disconnect(this);
    audio_->StopRecording();
    audio_.reset();
  }
}

void PoiDialog::DeleteAudioNote() {
  if (!hasNote_) return;
  const std::string stored = working_.text(PointText::Wav);
  const QString file = Q(newRecording_ || stored.empty() ? std::string(kTemporaryRecordingName) : stored);
  if (!hooks_.asker.question(QString("%1 (%2)?").arg(Text(lang::kPoiDeleteAudioQuestion), file))) return;
  StopAudio();
  if (newRecording_) {
    // Only the recording not yet stored goes; the point's own note, if it
    // has one, is back for playing.
    newRecording_ = false;
    hasNote_ = PrepareTemporaryNote(working_, SourceFolder(), temporary_);
    UpdateAudioControls();
    return;
  }
  std::error_code error;
  fs::remove(temporary_, error);
  if (error) LogMessage("Cannot delete %s: %s", temporary_.c_str(), error.message().c_str());
  if (!stored.empty()) {
    if (!working_.ClearAudioNote(SourceFolder())) LogMessage("Cannot delete the audio note %s", stored.c_str());
    // The note is gone whatever the dialog ends with: so is the stored
    // point's reference to it.
    if (source_ && point_) {
      GeoPoint without = *point_;
      without.setText(PointText::Wav, {});
      source_->ReplacePoint(point_, without);
    }
  }
  hasNote_ = false;
  newRecording_ = false;
  UpdateAudioControls();
}

// ---------------------------------------------------------------------------
// OK

void PoiDialog::accept() {
  if (!ready_) {
    QDialog::reject();
    return;
  }
  const int chosen = collection_->currentIndex();
  POIs* target = chosen >= 0 && chosen < static_cast<int>(collections_.size())
                     ? collections_[static_cast<std::size_t>(chosen)]
                     : (adding_ ? waypoints_.current() : source_);
  if (!target) return;
  GpxParser& targetFile = target->file();
  if (!waypoints_.EnsureLoaded(targetFile)) {
    LogMessage("POI not stored: %s cannot be read", targetFile.path().c_str());
    return;
  }
  StopAudio();

  GeoPoint updated = working_;
  updated.setText(PointText::Name, S(name_->text()));
  updated.setText(PointText::Desc, S(desc_->toPlainText()));
  updated.setText(PointText::Sym, S(symbol_->currentText()));
  updated.setText(PointText::Pic, S(picture_->text().trimmed()));
  updated.setText(PointText::Link, WithLinkScheme(S(link_->text().trimmed())));
  updated.setText(PointText::Phone, S(phone_->text().trimmed()));

  const fs::path fromFolder = SourceFolder();
  const fs::path toFolder = targetFile.AttachmentFolder();
  if (newRecording_) {
    if (const std::optional<std::string> name = StoreAudioNote(temporary_, toFolder, updated.time())) {
      // The new recording replaces the point's old note.
      GeoPoint old = updated;
      if (!old.ClearAudioNote(fromFolder)) LogMessage("Cannot delete the replaced audio note");
      updated.setText(PointText::Wav, *name);
    }
  } else if (source_ && &source_->file() != &targetFile) {
    MoveAudioNote(updated, fromFolder, toFolder);
  }

  const GeoPoint* stored = nullptr;
  if (!adding_ && target == source_) {
    source_->ReplacePoint(point_, updated);
    stored = point_;
  } else {
    if (source_) {
      source_->RemovePoint(point_);
      point_ = nullptr;
      source_->Reclassify();
      waypoints_.RecomputeBounds(source_->file());
    }
    stored = target->AddPoint(std::move(updated), -1, true);
  }
  if (stored) target->SelectPoint(*stored);
  target->Reclassify();
  targetFile.MarkModified();
  waypoints_.RecomputeBounds(targetFile);
  if (waypoints_.current() != target) waypoints_.MakeCurrent(target);
  settings_.poiStyle = S(symbol_->currentText());
  storedIn_ = target;
  storedPoint_ = stored;
  newRecording_ = false;
  QDialog::accept();
}

void PoiDialog::done(int result) {
  StopAudio();
  settings_.poiTab = tabs_->currentIndex();
  QDialog::done(result);
}

}  // namespace rovana::dialogs
