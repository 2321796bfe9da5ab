// TFormSettings: the settings window (File menu). It edits the four folders, the three
// address lines of the printout's firm header and the language of the texts, checks that
// the catalogue can run with them, and saves them to the settings file the program reads.
// When no settings exist anywhere, the program opens it at start.
#pragma once

#include <QDialog>
#include <QStringList>

#include <array>
#include <functional>

#include "CatalogSettings.h"

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TFormSettings : public QDialog {
  Q_OBJECT

 public:
  enum Folder { kCdFolder, kBmpFolder, kBaseFolder, kTempFolder, kFolderCount };

  // first_start: no settings exist yet; the window says so and saving lets the start go on.
  explicit TFormSettings(QWidget* parent = nullptr, bool first_start = false);

  QLineEdit* FolderEdit(Folder folder) const { return folder_edits_[folder]; }
  QPushButton* FolderButton(Folder folder) const { return folder_buttons_[folder]; }
  QLineEdit* FirmLineEdit(int line) const { return firm_edits_.at(line); }
  QComboBox* LanguageBox() const { return SprogCbo; }
  QPushButton* SaveButton() const;
  // The problems that stopped the last save, one per line.
  QLabel* ProblemsLabel() const { return ProblemsLbl; }

  // The folders as they would be saved (each ending with '/').
  FolderSettings EnteredFolders() const;
  QString EnteredLanguage() const;

  // Asks for a folder; an empty answer keeps the edit as it is. Tests put their own in.
  using FolderChooser = std::function<QString(const QString& start)>;
  void SetFolderChooser(FolderChooser chooser) { choose_folder_ = std::move(chooser); }

 public slots:
  // Checks the entries and saves them when the check passes; the window then closes.
  void GemBtnClick();
  void FolderBtnClick(Folder folder);

 private:
  void LoadValues();
  bool SaveValues();

  bool first_start_;
  std::array<QLineEdit*, kFolderCount> folder_edits_{};
  std::array<QPushButton*, kFolderCount> folder_buttons_{};
  std::array<QLineEdit*, 3> firm_edits_{};
  QComboBox* SprogCbo = nullptr;
  QLabel* ProblemsLbl = nullptr;
  QDialogButtonBox* Buttons = nullptr;
  FolderChooser choose_folder_;
};

// True when the program finds no settings at all: no file of the user's (or the one given
// with --settings) and no system-wide one.
bool NoSettingsAnywhere();

// The first start: shows the settings window and waits. Answers true when settings were
// saved, false when the user closed the window without saving.
bool RunFirstStartSettings();
