#pragma once
// The troubleshooter's stored texts: the topic container (one answer per
// topic key, each headed by "%TITLE%"), the generic container (the
// configuration advice for sending and receiving and the other factors) and
// the technical support document.
#include <string>
#include <vector>

namespace tlm::troubleshooter {

// A list of (RTF text, short name, key) entries; the key is a decimal number
// in text form.
class TopicContainer {
 public:
  struct Entry {
    std::string rtf;
    std::string name;
    std::string key;
  };
  void Add(Entry entry) { entries_.push_back(std::move(entry)); }
  // The first entry whose key is `number` in decimal; "" when none is.
  std::string Lookup(int number) const;
  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  std::vector<Entry> entries_;
};

const TopicContainer& StoredAnswers();
// Entries 0 (sending configuration), 1 (receiving configuration) and 2
// (other factors).
const TopicContainer& GenericAnswers();
const std::string& TechnicalSupportDocument();

// The answer to topic `id` (titled `title`): the analysis document for the
// analysis topic, the support document, a composed answer, or the stored
// entry with its title; "" for an id without an answer.
std::string ComposeAnswer(int id, const std::string& title, const std::string& analysisDocument);

// Builds an RTF document from lines of plain text: "# " starts a header,
// "* " a bullet, any other line is a plain paragraph. With `titled` the
// document begins with the "%TITLE%" heading.
std::string ComposeStoredText(const std::string& lines, bool titled);

}  // namespace tlm::troubleshooter
