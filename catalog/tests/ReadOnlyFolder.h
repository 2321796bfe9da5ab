// A folder that refuses new files for the length of a test, also when the tests run as root
// (where permission bits do not stop a write): as root it is made immutable instead.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const QString& path) : path_(path) {
    if (geteuid() == 0) {
      immutable_ = SetImmutable(true);
      active_ = immutable_;
    } else {
      active_ = QFile::setPermissions(path_, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
  }
  ~ReadOnlyFolder() {
    if (immutable_) {
      SetImmutable(false);
    } else if (active_) {
      QFile::setPermissions(path_, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner);
    }
  }
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

  // False when this system gives no way to protect the folder.
  bool active() const { return active_; }

 private:
  bool SetImmutable(bool on) {
    const int fd = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
      flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
      ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
  }

  QString path_;
  bool active_ = false;
  bool immutable_ = false;
};
