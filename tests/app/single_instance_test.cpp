// Two real copies of a program that runs the single-instance guard.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QProcess>
#include <QProcessEnvironment>

#include "support/temp_dir.h"

namespace tlm {
namespace {

const QString kProbe = QStringLiteral(TOLMERA_TEST_BINARY_DIR "/tests/app/instance_probe");

class Copy {
 public:
  // An empty `program` only prepares the environment.
  Copy(const QString& program, const QString& runtimeFolder, const QStringList& args = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtimeFolder);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(env);
    if (!program.isEmpty()) process.start(program, args);
  }
  ~Copy() {
    if (process.state() != QProcess::NotRunning) {
      process.kill();
      process.waitForFinished(3000);
    }
  }
  // Waits for a line of output; empty when none came in time.
  QString Line(int ms = 5000) {
    if (!process.canReadLine()) {
      QElapsedTimer t;
      t.start();
      while (!process.canReadLine() && t.elapsed() < ms) process.waitForReadyRead(50);
    }
    return QString::fromUtf8(process.readLine()).trimmed();
  }
  QProcess process;
};

TEST(SingleInstance, ASecondCopyBringsTheFirstForwardRestoredAndEndsSilently) {
  testing::TempDir runtime;
  const QString folder = QString::fromStdString(runtime.Folder());
  Copy first(kProbe, folder, {"minimized"});
  ASSERT_EQ(first.Line(), "ready");

  Copy second(kProbe, folder);
  ASSERT_TRUE(second.process.waitForFinished(5000));
  EXPECT_EQ(second.process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.process.exitCode(), 0);
  const QString said = QString::fromUtf8(second.process.readAllStandardOutput()).trimmed();
  EXPECT_EQ(said, "forwarded");  // and never "ready": no window of its own
  EXPECT_EQ(first.Line(), "front minimized=0");

  // A third start does the same; the first copy keeps running.
  Copy third(kProbe, folder);
  ASSERT_TRUE(third.process.waitForFinished(5000));
  EXPECT_EQ(third.process.exitCode(), 0);
  EXPECT_EQ(first.Line(), "front minimized=0");
  EXPECT_EQ(first.process.state(), QProcess::Running);
}

TEST(SingleInstance, CopiesWithDifferentFileNamesDoNotSeeEachOther) {
  testing::TempDir runtime;
  testing::TempDir bin;
  const QString folder = QString::fromStdString(runtime.Folder());
  const QString renamed = QString::fromStdString(bin.File("other_probe"));
  ASSERT_TRUE(QFile::copy(kProbe, renamed));
  QFile::setPermissions(renamed, QFile::permissions(kProbe));
  Copy first(kProbe, folder);
  ASSERT_EQ(first.Line(), "ready");
  Copy other(renamed, folder);
  EXPECT_EQ(other.Line(), "ready");
  EXPECT_EQ(other.process.state(), QProcess::Running);
}

TEST(SingleInstance, TheGuardIsReleasedWhenTheRunningCopyEnds) {
  testing::TempDir runtime;
  const QString folder = QString::fromStdString(runtime.Folder());
  {
    Copy first(kProbe, folder);
    ASSERT_EQ(first.Line(), "ready");
    first.process.kill();  // even a crash leaves no stale guard
    first.process.waitForFinished(3000);
  }
  Copy next(kProbe, folder);
  EXPECT_EQ(next.Line(), "ready");
}

// The program itself: the second copy ends with code 0 while the first one
// (here held by its first-start reindex question) keeps running.
TEST(SingleInstance, TheProgramsSecondCopyEndsAtOnceWithCodeZero) {
  testing::TempDir runtime;
  testing::TempDir home;
  const QString folder = QString::fromStdString(runtime.Folder());
  auto start = [&](Copy& copy) {
    QProcessEnvironment env = copy.process.processEnvironment();
    env.insert("TOLMERA_HOME", QString::fromStdString(home.Folder()));
    copy.process.setProcessEnvironment(env);
  };
  Copy first(QString(), folder);
  start(first);
  first.process.start(TOLMERA_PROGRAM, QStringList{});
  ASSERT_TRUE(first.process.waitForStarted(5000));
  const QString socket = folder + QFileInfo(TOLMERA_PROGRAM).fileName() + ".sock";
  QElapsedTimer t;
  t.start();
  while (!QFile::exists(socket) && t.elapsed() < 10000) QThread::msleep(20);
  ASSERT_TRUE(QFile::exists(socket));

  Copy second(QString(), folder);
  start(second);
  second.process.start(TOLMERA_PROGRAM, QStringList{"/F", "ignored.rtf"});
  ASSERT_TRUE(second.process.waitForFinished(10000));
  EXPECT_EQ(second.process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.process.exitCode(), 0);
  EXPECT_EQ(first.process.state(), QProcess::Running);
}

}  // namespace
}  // namespace tlm
