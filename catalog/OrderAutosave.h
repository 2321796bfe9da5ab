// Keeps a copy of the order list on disk after every change, so that closing the program, a
// crash, a power cut or logging out never loses the user's order.
//
// The copy is a saved order-list file (OrderFile.h) in the user's data folder, written
// through a temporary file that replaces the old copy only when it is complete: at any moment
// the file on disk is the whole previous list or the whole new one. An empty list removes the
// file. At the next start the copy is loaded into the order list; a copy that cannot be read
// is renamed aside with the date and time in its name, never deleted.
//
// Two copies of the program running at once each keep their own file: the first takes
// "Ordreliste.txt", a second one "Ordreliste-2.txt", and so on, each guarded by a lock file
// that dies with its process.
#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

#include "OrderFile.h"

namespace order {

class TOrderGridModel;

class TOrderAutosave : public QObject {
  Q_OBJECT

 public:
  // The user's data folder of the program (QStandardPaths::AppDataLocation).
  static QString DefaultFolder();

  // Takes the first free file slot in `folder` (creating the folder when needed). Changes
  // of `model` are written from the event loop, one write for a burst of changes.
  TOrderAutosave(TOrderGridModel& model, const QString& folder, QObject* parent = nullptr);
  ~TOrderAutosave() override;

  // The file this program keeps its list in; empty when no slot could be taken.
  QString Path() const { return path_; }

  struct RestoreResult {
    enum Kind {
      kNothing,   // no list was left
      kRestored,  // the list was loaded into the model
      kKeptAside  // the file could not be read; it was renamed to kept_aside
    } kind = kNothing;
    int lines = 0;
    // For kKeptAside: why the file could not be read, and its new name (its old one when
    // it could not be renamed; the list is then not kept on disk in this run).
    OrderFileStatus status = OrderFileStatus::kOk;
    int bad_line = 0;
    QString error;
    QString kept_aside;
  };
  // Loads a list left by an earlier run into the model. Call once, before changes.
  RestoreResult Restore();

  // Writes the list now when it changed since the last write. An empty list removes the
  // file. Answers false when the file could not be written (writeFailed was emitted).
  bool WriteNow();

  // Whether the list differs from what was last saved to, or loaded from, a file of the
  // user's (an empty list never counts as a change).
  bool HasUnsavedChanges() const;
  // The list as it stands now is in a file of the user's.
  void MarkSavedToUserFile();

  // The user threw the list away: the file is removed and no longer written.
  void Discard();

 signals:
  // A write failed after the previous one had succeeded (reported once per failure run).
  void writeFailed(const QString& path, const QString& reason);

 private:
  void ScheduleWrite();
  QByteArray CurrentBytes() const;

  TOrderGridModel& model_;
  QString path_;
  std::unique_ptr<QLockFile> lock_;
  QTimer timer_;
  QByteArray written_;      // the list as it stands in the file (empty: no file)
  QByteArray user_saved_;   // the list as last saved to or loaded from a user's file
  bool failing_ = false;
  bool discarded_ = false;
};

}  // namespace order
