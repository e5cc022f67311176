#pragma once
// The pictures of the editors' documents, by name, for a paste into another
// document: the copied text names its pictures but does not carry them. The
// most recent ones are kept, up to a bound; each document that lacks a
// picture finds it here.
#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QString>
#include <deque>
#include <mutex>
#include <optional>

namespace tlm {

class PictureStore {
 public:
  struct Entry {
    QImage image;
    QByteArray bytes;  // what an RTF file stores; empty until encoded
    int kind = 0;      // rtf::PictureKind
    QString source;    // an unshown picture's format word and size
    QString crop;      // what is cut off each side, in twips
  };

  static PictureStore& Instance();

  // Keeps (or replaces) the picture `name`, forgetting the oldest ones
  // beyond the bound.
  void Put(const QString& name, Entry entry);
  std::optional<Entry> Get(const QString& name) const;

 private:
  static constexpr std::size_t kMaxEntries = 256;
  static constexpr qint64 kMaxBytes = 256ll << 20;

  mutable std::mutex mutex_;
  QHash<QString, Entry> entries_;
  std::deque<QString> order_;
  qint64 bytes_ = 0;
};

// Makes every QTextDocument of the process look up a picture it lacks in
// the store (once; later calls do nothing).
void ProvideStoredPictures();

}  // namespace tlm
