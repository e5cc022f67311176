#pragma once
// The single-instance guard.
//
// TPreviousInstance is made first thing at start-up, before any window: it
// takes the instance lock named after the executable's file name and tells
// whether another copy holds it. A second copy then asks the first, through a
// local socket of the same name, to bring its main window to the front, and
// ends with exit code 0 without showing anything. TJustOne is the first
// copy's listening half, owned by the main window.
#include <QObject>
#include <QString>
#include <memory>
#include <string>

#include "app/core/instance_lock.h"

class QLocalServer;
class QWidget;

namespace tlm {

class TPreviousInstance {
 public:
  // Guards the running executable's file name in the runtime folder.
  TPreviousInstance();
  TPreviousInstance(const std::string& folder, const std::string& fileName);

  const std::string& FileName() const { return fileName_; }
  const std::string& BaseName() const { return baseName_; }
  bool AnotherInstance() const { return lock_.AnotherInstance(); }
  // The local socket through which the running copy is reached.
  QString ServerPath() const;

 private:
  std::string folder_;
  std::string fileName_;
  std::string baseName_;
  InstanceLock lock_;
};

class TJustOne : public QObject {
  Q_OBJECT
 public:
  // Listens for later copies and brings `owner` to the front when one asks
  // (restored when minimised).
  TJustOne(QWidget* owner, const TPreviousInstance& instance);
  ~TJustOne() override;

  // Run by a second copy: asks the running copy to come to the front. True
  // when it confirmed within `timeoutMs`.
  static bool BringPreviousToFront(const TPreviousInstance& instance, int timeoutMs = 3000);

 signals:
  void BroughtToFront();

 private:
  void OnNewConnection();
  void BringOwnerToFront();

  QWidget* owner_;
  std::string baseName_;
  QLocalServer* server_;
};

}  // namespace tlm
