#include "UnitSettings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include "Messages.h"
#include "SettingsCheck.h"
#include "TextTable.h"

namespace {

constexpr TextId kFolderCaptions[] = {TextId::CdFolderLabel, TextId::BmpFolderLabel,
                                      TextId::BaseFolderLabel, TextId::TempFolderLabel};
constexpr TextId kFirmLineCaptions[] = {TextId::FirmLine1Label, TextId::FirmLine2Label,
                                        TextId::FirmLine3Label};
const char* const kFolderFallbacks[] = {
    "Catalogue folder (CDdrev):", "Image folder in the catalogue folder (BMPS):",
    "Base folder (BASE):", "Temporary folder (TEMP):"};

QString Key(const char* name) {
  return QString::fromLatin1(kSettingsKey) + QLatin1Char('/') + QString::fromLatin1(name);
}

}  // namespace

TFormSettings::TFormSettings(QWidget* parent, bool first_start)
    : QDialog(parent), first_start_(first_start) {
  setWindowTitle(Text(TextId::SettingsTitle, QStringLiteral("Settings")));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  if (first_start_) {
    auto* intro = new QLabel(Text(
        TextId::NoSettingsYet,
        QStringLiteral(
            "There are no settings yet. Choose the catalogue's folders and save them to start.")));
    intro->setWordWrap(true);
    layout->addWidget(intro);
  }

  auto* form = new QFormLayout;
  layout->addLayout(form);
  for (int folder = 0; folder < kFolderCount; ++folder) {
    auto* row = new QHBoxLayout;
    folder_edits_[folder] = new QLineEdit(this);
    folder_edits_[folder]->setMinimumWidth(320);
    folder_buttons_[folder] = new QPushButton(QStringLiteral("..."), this);
    folder_buttons_[folder]->setFixedWidth(32);
    connect(folder_buttons_[folder], &QPushButton::clicked, this,
            [this, folder] { FolderBtnClick(static_cast<Folder>(folder)); });
    row->addWidget(folder_edits_[folder]);
    row->addWidget(folder_buttons_[folder]);
    form->addRow(Text(kFolderCaptions[folder], QString::fromLatin1(kFolderFallbacks[folder])), row);
  }
  for (int line = 0; line < 3; ++line) {
    firm_edits_[line] = new QLineEdit(this);
    form->addRow(
        Text(kFirmLineCaptions[line], QStringLiteral("Firm address, line %1:").arg(line + 1)),
        firm_edits_[line]);
  }
  SprogCbo = new QComboBox(this);
  SprogCbo->addItem(Text(TextId::Danish, QStringLiteral("Danish")),
                    QString::fromLatin1(kLanguageDanish));
  SprogCbo->addItem(Text(TextId::English, QStringLiteral("English")),
                    QString::fromLatin1(kLanguageEnglish));
  form->addRow(Text(TextId::LanguageLabel, QStringLiteral("Language:")), SprogCbo);

  ProblemsLbl = new QLabel(this);
  ProblemsLbl->setWordWrap(true);
  ProblemsLbl->setTextFormat(Qt::PlainText);
  QPalette red = ProblemsLbl->palette();
  red.setColor(QPalette::WindowText, QColor(0xB0, 0x00, 0x00));
  ProblemsLbl->setPalette(red);
  ProblemsLbl->hide();
  layout->addWidget(ProblemsLbl);

  Buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
  Buttons->button(QDialogButtonBox::Save)
      ->setText(Text(TextId::SaveAnswer, QStringLiteral("Save")));
  Buttons->button(QDialogButtonBox::Cancel)
      ->setText(Text(TextId::CancelAnswer, QStringLiteral("Cancel")));
  connect(Buttons, &QDialogButtonBox::accepted, this, &TFormSettings::GemBtnClick);
  connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(Buttons);

  LoadValues();
}

QPushButton* TFormSettings::SaveButton() const { return Buttons->button(QDialogButtonBox::Save); }

void TFormSettings::LoadValues() {
  std::unique_ptr<QSettings> store = OpenSettingsStore();
  for (int folder = 0; folder < kFolderCount; ++folder) {
    folder_edits_[folder]->setText(store->value(Key(kFolderKeys[folder])).toString());
  }
  const QStringList firm = ReadFirmAddress(*store);
  for (int line = 0; line < 3; ++line) firm_edits_[line]->setText(firm.value(line));
  const int language = SprogCbo->findData(ReadLanguage(*store));
  SprogCbo->setCurrentIndex(language < 0 ? 0 : language);
}

FolderSettings TFormSettings::EnteredFolders() const {
  auto entered = [this](Folder folder) {
    return WithTrailingSeparator(
        QDir::fromNativeSeparators(folder_edits_[folder]->text().trimmed()));
  };
  FolderSettings folders;
  folders.CdFolder = entered(kCdFolder);
  folders.BmpFolder = entered(kBmpFolder);
  folders.BaseFolder = entered(kBaseFolder);
  folders.TempFolder = entered(kTempFolder);
  return folders;
}

QString TFormSettings::EnteredLanguage() const { return SprogCbo->currentData().toString(); }

// The image folder is kept relative to the catalogue folder, which the program puts before it.
void TFormSettings::FolderBtnClick(Folder folder) {
  const QString cd_folder = EnteredFolders().CdFolder;
  QString start = folder_edits_[folder]->text();
  if (folder == kBmpFolder) start = cd_folder + start;
  QString chosen;
  if (choose_folder_) {
    chosen = choose_folder_(start);
  } else {
    chosen = QFileDialog::getExistingDirectory(
        this, Text(TextId::ChooseFolder, QStringLiteral("Choose folder")), start);
  }
  if (chosen.isEmpty()) return;
  chosen = QDir::cleanPath(QDir::fromNativeSeparators(chosen));
  if (folder == kBmpFolder && !cd_folder.isEmpty()) {
    chosen = QDir(cd_folder).relativeFilePath(chosen);
    if (chosen == QLatin1String(".")) chosen.clear();
  }
  folder_edits_[folder]->setText(chosen.isEmpty() ? chosen : WithTrailingSeparator(chosen));
}

void TFormSettings::GemBtnClick() {
  const QStringList problems = CheckSettings(EnteredFolders(), EnteredLanguage());
  if (!problems.isEmpty()) {
    ProblemsLbl->setText(
        Text(TextId::SettingsProblems, QStringLiteral("The settings cannot be saved:")) +
        QStringLiteral("\n") + problems.join(QLatin1Char('\n')));
    ProblemsLbl->show();
    return;
  }
  ProblemsLbl->clear();
  ProblemsLbl->hide();
  if (!SaveValues()) return;
  if (!first_start_) {
    // The print window reads the address at every print; the folders and the texts are
    // taken at start.
    ShowMessage(MessageKind::Information,
                Text(TextId::SettingsSaved, QStringLiteral("The settings were saved to %1."))
                    .arg(QDir::toNativeSeparators(SettingsLocation())));
  }
  accept();
}

bool TFormSettings::SaveValues() {
  std::unique_ptr<QSettings> store = OpenSettingsStore();
  const FolderSettings folders = EnteredFolders();
  const QString values[] = {folders.CdFolder, folders.BmpFolder, folders.BaseFolder,
                            folders.TempFolder};
  for (int folder = 0; folder < kFolderCount; ++folder) {
    store->setValue(Key(kFolderKeys[folder]), values[folder]);
  }
  for (int line = 0; line < 3; ++line) {
    store->setValue(Key(kFirmAddressKeys[line]), firm_edits_[line]->text());
  }
  store->setValue(Key(kLanguageKey), EnteredLanguage());
  store->sync();
  if (store->status() == QSettings::NoError) return true;
  const QString reason =
      store->status() == QSettings::FormatError
          ? Text(TextId::FileMalformed, QStringLiteral("the file is malformed"))
          : Text(TextId::FileNotWritable, QStringLiteral("the file cannot be written"));
  ShowMessage(
      MessageKind::Warning,
      Text(TextId::SettingsNotSaved, QStringLiteral("The settings could not be saved to %1: %2"))
          .arg(QDir::toNativeSeparators(store->fileName()), reason));
  return false;
}

// The store of the user's settings also answers with the system-wide ones, where the
// platform has them; only the program's own group counts.
bool NoSettingsAnywhere() {
  std::unique_ptr<QSettings> store = OpenSettingsStore();
  store->beginGroup(QString::fromLatin1(kSettingsKey));
  return store->allKeys().isEmpty();
}

bool RunFirstStartSettings() {
  // The texts of the window: a table in the working folder if there is one.
  if (!TextTable) LoadTextTable(QString());
  TFormSettings window(nullptr, true);
  return window.exec() == QDialog::Accepted;
}
