#include "richtext/spell_checker.h"

#include <hunspell.hxx>

#include <fstream>
#include <sstream>

#include "platform/data_folder.h"
#include "platform/file_util.h"

namespace tlm {

SpellChecker::SpellChecker(const std::string& base, const std::string& userPath) : userPath_(userPath) {
  std::string aff = base + ".aff", dic = base + ".dic";
  if (!FileExists(aff) || !FileExists(dic)) {
    error_ = "The spelling dictionary " + dic + " is missing.";
    return;
  }
  hunspell_ = std::make_unique<Hunspell>(aff.c_str(), dic.c_str());
  std::string words;
  if (ReadWholeFile(userPath_, words)) {
    std::istringstream lines(words);
    std::string word;
    while (std::getline(lines, word)) {
      if (!word.empty() && word.back() == '\r') word.pop_back();
      if (!word.empty()) hunspell_->add(word);
    }
  }
}

SpellChecker::~SpellChecker() = default;

bool SpellChecker::Check(const std::string& word) const {
  if (!hunspell_ || word.empty() || ignored_.count(word)) return true;
  return hunspell_->spell(word);
}

std::vector<std::string> SpellChecker::Suggest(const std::string& word) const {
  if (!hunspell_) return {};
  return hunspell_->suggest(word);
}

void SpellChecker::IgnoreAll(const std::string& word) { ignored_.insert(word); }

bool SpellChecker::AddToUserDictionary(const std::string& word, std::string* error) {
  if (word.empty() || word.find('\n') != std::string::npos) return false;
  std::string words;
  ReadWholeFile(userPath_, words);
  if (!words.empty() && words.back() != '\n') words += '\n';
  words += word + '\n';
  std::string message;
  if (!MakeFolders(FolderOf(userPath_)) || !WriteFileAtomically(userPath_, words, &message)) {
    if (error) *error = "Cannot write " + userPath_ + (message.empty() ? "" : ": " + message);
    return false;
  }
  if (hunspell_) hunspell_->add(word);
  return true;
}

std::string DefaultDictionaryBase() {
  std::string shipped = ShareFolder() + "dict/en_US";
  if (FileExists(shipped + ".dic")) return shipped;
  return "/usr/share/hunspell/en_US";
}

std::string DefaultUserDictionaryPath() { return DataFolder() + kUserDictionaryFileName; }

}  // namespace tlm
