#pragma once
// The settings record: every key of TLM.INI, loaded at start-up and written
// back whole.
#include <string>

namespace tlm {

class ProfileFile;

inline constexpr const char* kVersionText = "2.9q";
inline constexpr const char* kSettingsFileName = "TLM.INI";

struct Settings {
  // "Receive"
  std::string wav;
  bool atStartup = false;
  int answerOnRing = 1;
  // "User"
  std::string userFax;
  std::string userName;
  // "Dialing"
  std::string dialPrefix;
  std::string dialSuffix;
  // "Modem"
  std::string initString;
  // "Dialing"
  int dialAttempts = 3;
  int retryWait = 60;
  bool blindDial = false;
  bool ignoreBusy = false;
  // "Modem": the port as a list position (0 is COM1); -1: never chosen.
  int comPort = -1;
  int faxClass = 1;  // 0 auto detect, 1 class 1, 2 class 2, 3 class 2.0
  // "Dialing"
  int toneOrPulse = 0;  // 0 tone, 1 pulse
  int timeout = 60;     // carried, unused
  bool ecm = false;
  // Receiving; each defaults to its sending counterpart.
  bool ecmReceive = false;
  std::string initStringReceive;
  int faxClassReceive = 1;
  int maximumBpsReceive = 9600;
  bool printOnReceipt = false;
  std::string printOnReceiptPrinter = "Default Windows Printer";
  // "Default Font"
  std::string fontName = "Arial";
  int fontSize = 10;
  bool fontBold = false;
  bool fontItalic = false;
  bool fontUnderline = false;
  // "Modem"
  int maximumBps = 9600;
  // "Resetting"
  std::string resetString;
  std::string resetAfterString;
  // "User"
  bool prefixDisable = false;
  bool suffixDisable = false;
  // "Modem"
  bool renegotiateBetween = false;
  // "Hints"
  bool hintsOn = true;
};

// Reads every key from `ini`; missing keys and values that do not parse take
// their defaults.
Settings LoadSettings(const ProfileFile& ini);

// Writes every key into `ini` in the file's key order, "Version" last, and
// saves it. Throws ProfileWriteError ("Unable to write to <path>").
void SaveSettings(ProfileFile& ini, const Settings& settings);

// The file-based forms: TLM.INI at `path` is read afresh before a save, so
// sections written by other parts of the program are kept.
Settings LoadSettingsFile(const std::string& path);
void SaveSettingsFile(const std::string& path, const Settings& settings);

// First start: a port never chosen (-1) becomes COM1 (0). Returns true when
// this was a first start, so the caller can offer quick set-up.
bool ApplyFirstStartRule(Settings& settings);

}  // namespace tlm
