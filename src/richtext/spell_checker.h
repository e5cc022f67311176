#pragma once
// Spell checking against a hunspell main dictionary and the user's own word
// list (one word per line, UTF-8, kept in the data folder).
#include <memory>
#include <set>
#include <string>
#include <vector>

class Hunspell;

namespace tlm {

inline constexpr const char* kUserDictionaryFileName = "userdict.txt";

class SpellChecker {
 public:
  // `dictionaryBase` is the path of the .aff/.dic pair without extension.
  SpellChecker(const std::string& dictionaryBase, const std::string& userDictionaryPath);
  ~SpellChecker();

  // False when the main dictionary could not be opened; Error() says why.
  bool IsOpen() const { return hunspell_ != nullptr; }
  const std::string& Error() const { return error_; }

  // Words are UTF-8. Words ignored for this session count as correct.
  bool Check(const std::string& word) const;
  std::vector<std::string> Suggest(const std::string& word) const;
  void IgnoreAll(const std::string& word);
  // Adds the word to the user dictionary file and to this checker.
  bool AddToUserDictionary(const std::string& word, std::string* error = nullptr);

 private:
  std::unique_ptr<Hunspell> hunspell_;
  std::string userPath_;
  std::set<std::string> ignored_;
  std::string error_;
};

// Debian's en_US dictionary, or one shipped in the share folder ("dict/").
std::string DefaultDictionaryBase();
// The user dictionary in the data folder.
std::string DefaultUserDictionaryPath();

}  // namespace tlm
