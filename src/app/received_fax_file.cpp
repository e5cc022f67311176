#include "app/received_fax_file.h"

#include <QFile>
#include <QFileInfo>

namespace tlm {

QString ReceivedFaxFilePath(const QString& receiveDir, const QString& faxFile) {
  const QString name = faxFile.trimmed();
  if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.contains('/') ||
      name.contains(QChar(0))) {
    return {};
  }
  return receiveDir + name;
}

bool RemoveReceivedFaxFile(const QString& receiveDir, const QString& faxFile) {
  const QString path = ReceivedFaxFilePath(receiveDir, faxFile);
  if (path.isEmpty()) return false;
  const QFileInfo info(path);
  if (info.isSymLink() || !info.isFile()) return false;
  return QFile::remove(path);
}

}  // namespace tlm
