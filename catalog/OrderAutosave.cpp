#include "OrderAutosave.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "OrderFile.h"
#include "OrderModel.h"

namespace order {
namespace {

constexpr char kBaseName[] = "Ordreliste";
// Slots for copies of the program running side by side.
constexpr int kMaxSlots = 9;

QString SlotName(int slot, const char* suffix) {
  QString name = QString::fromLatin1(kBaseName);
  if (slot > 1) name += QLatin1Char('-') + QString::number(slot);
  return name + QLatin1String(suffix);
}

// "Ordreliste.txt" becomes "Ordreliste 2026-12-07 180512.txt" (with a counter when two
// are put aside within one second).
QString KeepAside(const QString& path) {
  const QFileInfo info(path);
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HHmmss"));
  QString target;
  for (int n = 1;; ++n) {
    target = info.dir().filePath(info.completeBaseName() + QLatin1Char(' ') + stamp +
                                 (n > 1 ? QStringLiteral(" (%1)").arg(n) : QString()) +
                                 QLatin1Char('.') + info.suffix());
    if (!QFileInfo::exists(target)) break;
  }
  return QFile::rename(path, target) ? target : QString();
}

// A write that was killed can leave its temporary file ("Ordreliste.txt.AbC123") beside
// the list. Only the holder of the slot's lock writes there, so what is left is unfinished.
void RemoveUnfinishedWrites(const QDir& dir, const QString& name) {
  for (const QString& file : dir.entryList({name + QStringLiteral(".??????")},
                                           QDir::Files | QDir::Hidden | QDir::System)) {
    QFile::remove(dir.filePath(file));
  }
}

}  // namespace

QString TOrderAutosave::DefaultFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

TOrderAutosave::TOrderAutosave(TOrderGridModel& model, const QString& folder, QObject* parent)
    : QObject(parent), model_(model) {
  QDir dir(folder);
  if (!folder.isEmpty() && dir.mkpath(QStringLiteral("."))) {
    for (int slot = 1; slot <= kMaxSlots; ++slot) {
      auto lock = std::make_unique<QLockFile>(dir.filePath(SlotName(slot, ".lock")));
      // A lock is stale only when its process is gone, never because it is old: the
      // program may run for days.
      lock->setStaleLockTime(0);
      if (lock->tryLock(0)) {
        lock_ = std::move(lock);
        path_ = dir.filePath(SlotName(slot, ".txt"));
        RemoveUnfinishedWrites(dir, SlotName(slot, ".txt"));
        break;
      }
    }
  }
  timer_.setSingleShot(true);
  timer_.setInterval(0);
  connect(&timer_, &QTimer::timeout, this, [this] { WriteNow(); });
  connect(&model_, &QAbstractItemModel::dataChanged, this, &TOrderAutosave::ScheduleWrite);
  connect(&model_, &QAbstractItemModel::modelReset, this, &TOrderAutosave::ScheduleWrite);
  connect(&model_, &QAbstractItemModel::rowsInserted, this, &TOrderAutosave::ScheduleWrite);
  connect(&model_, &QAbstractItemModel::rowsRemoved, this, &TOrderAutosave::ScheduleWrite);
}

TOrderAutosave::~TOrderAutosave() {
  if (timer_.isActive()) WriteNow();
}

void TOrderAutosave::ScheduleWrite() {
  if (!discarded_ && !path_.isEmpty()) timer_.start();
}

QByteArray TOrderAutosave::CurrentBytes() const { return FormatOrderFile(model_.SavedLines()); }

TOrderAutosave::RestoreResult TOrderAutosave::Restore() {
  RestoreResult restored;
  if (path_.isEmpty() || !QFileInfo::exists(path_)) return restored;
  const OrderFileResult file = LoadOrderFile(path_);
  if (file.status == OrderFileStatus::kOk) {
    model_.ReplaceLines(file.lines);
    timer_.stop();  // the file already holds this list
    written_ = CurrentBytes();
    restored.kind = RestoreResult::kRestored;
    restored.lines = static_cast<int>(file.lines.size());
    return restored;
  }
  // Unreadable, empty or damaged: kept for the user to look at, and the list starts empty.
  restored.kind = RestoreResult::kKeptAside;
  restored.status = file.status;
  restored.bad_line = file.bad_line;
  restored.error = file.error;
  restored.kept_aside = KeepAside(path_);
  if (restored.kept_aside.isEmpty()) {
    // It cannot even be renamed: nothing may overwrite it, so this run keeps no list here.
    restored.kept_aside = path_;
    path_.clear();
  }
  return restored;
}

bool TOrderAutosave::WriteNow() {
  timer_.stop();
  if (discarded_ || path_.isEmpty()) return true;
  const QByteArray bytes = CurrentBytes();
  if (bytes == written_ && !failing_) return true;
  QString error;
  bool ok = true;
  if (bytes.isEmpty()) {
    QFile file(path_);
    ok = !file.exists() || file.remove();
    if (!ok) error = file.errorString();
  } else {
    ok = WriteFileAtomically(path_, bytes, &error);
  }
  if (ok) {
    written_ = bytes;
    failing_ = false;
    return true;
  }
  if (!failing_) emit writeFailed(path_, error);
  failing_ = true;
  return false;
}

bool TOrderAutosave::HasUnsavedChanges() const { return CurrentBytes() != user_saved_; }

void TOrderAutosave::MarkSavedToUserFile() { user_saved_ = CurrentBytes(); }

void TOrderAutosave::Discard() {
  timer_.stop();
  discarded_ = true;
  if (!path_.isEmpty()) QFile::remove(path_);
}

}  // namespace order
