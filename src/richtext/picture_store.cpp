#include "richtext/picture_store.h"

#include <QTextDocument>
#include <QUrl>

namespace tlm {
namespace {

qint64 Size(const PictureStore::Entry& e) { return e.image.sizeInBytes() + e.bytes.size(); }

}  // namespace

PictureStore& PictureStore::Instance() {
  static PictureStore store;
  return store;
}

void PictureStore::Put(const QString& name, Entry entry) {
  std::lock_guard lock(mutex_);
  auto known = entries_.find(name);
  if (known != entries_.end()) bytes_ -= Size(*known);
  bytes_ += Size(entry);
  entries_.insert(name, std::move(entry));
  order_.push_back(name);
  while (order_.size() > 1 && (order_.size() > kMaxEntries || bytes_ > kMaxBytes)) {
    auto old = entries_.find(order_.front());
    if (old != entries_.end()) {
      bytes_ -= Size(*old);
      entries_.erase(old);
    }
    order_.pop_front();
  }
}

std::optional<PictureStore::Entry> PictureStore::Get(const QString& name) const {
  std::lock_guard lock(mutex_);
  auto it = entries_.constFind(name);
  if (it == entries_.constEnd()) return std::nullopt;
  return *it;
}

void ProvideStoredPictures() {
  static std::once_flag once;
  std::call_once(once, [] {
    QTextDocument::setDefaultResourceProvider([](const QUrl& url) -> QVariant {
      std::optional<PictureStore::Entry> entry = PictureStore::Instance().Get(url.toString());
      return entry ? QVariant(entry->image) : QVariant();
    });
  });
}

}  // namespace tlm
