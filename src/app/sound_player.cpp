#include "app/sound_player.h"

#include <QCoreApplication>
#include <QFile>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

namespace tlm {

namespace {
constexpr int kLongestSoundMs = 5 * 60 * 1000;
}  // namespace

bool IsWaveFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray head = file.read(12);
  return head.size() == 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WAVE";
}

bool PlaySoundFile(const QString& path) {
  if (path.isEmpty() || !IsWaveFile(path)) return false;
  // One effect per sound, owned by the application and deleted once it has
  // played or failed, so a caller's window may close while it plays.
  auto* effect = new QSoundEffect(QCoreApplication::instance());
  QObject::connect(effect, &QSoundEffect::playingChanged, effect, [effect] {
    if (!effect->isPlaying() && effect->status() == QSoundEffect::Ready) effect->deleteLater();
  });
  QObject::connect(effect, &QSoundEffect::statusChanged, effect, [effect] {
    if (effect->status() == QSoundEffect::Error) effect->deleteLater();
    else if (effect->status() == QSoundEffect::Ready) effect->play();
  });
  // Without a sound device an effect may never start nor fail: it goes
  // after a while in any case.
  QTimer::singleShot(kLongestSoundMs, effect, &QObject::deleteLater);
  effect->setSource(QUrl::fromLocalFile(path));
  return true;
}

}  // namespace tlm
