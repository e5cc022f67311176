#include "app/core/settings.h"

#include "platform/profile_file.h"

namespace tlm {

Settings LoadSettings(const ProfileFile& ini) {
  // The order of reading matters only for the receive keys: each defaults to
  // a sending key read before it.
  Settings s;
  s.wav = ini.ReadString("Receive", "Wav", "");
  s.atStartup = ini.ReadBool("Receive", "AtStartup", false);
  s.answerOnRing = ini.ReadInteger("Receive", "AnswerOnRing", 1);
  s.blindDial = ini.ReadBool("Dialing", "BlindDial", false);
  s.ignoreBusy = ini.ReadBool("Dialing", "IgnoreBusy", false);
  s.userFax = ini.ReadString("User", "Fax", "");
  s.userName = ini.ReadString("User", "Name", "");
  s.dialPrefix = ini.ReadString("Dialing", "DialPrefix", "");
  s.dialSuffix = ini.ReadString("Dialing", "DialSuffix", "");
  s.initString = ini.ReadString("Modem", "InitString", "");
  s.dialAttempts = ini.ReadInteger("Dialing", "DialAttempts", 3);
  s.retryWait = ini.ReadInteger("Dialing", "RetryWait", 60);
  s.comPort = ini.ReadInteger("Modem", "ComPort", -1);
  s.faxClass = ini.ReadInteger("Modem", "FaxClass", 1);
  s.toneOrPulse = ini.ReadInteger("Dialing", "ToneOrPulse", 0);
  s.timeout = ini.ReadInteger("Dialing", "Timeout", 60);
  s.maximumBps = ini.ReadInteger("Modem", "MaximumBPS", 9600);
  s.renegotiateBetween = ini.ReadBool("Modem", "RenegotiateBetween", false);
  s.resetString = ini.ReadString("Resetting", "String", "");
  s.resetAfterString = ini.ReadString("Resetting", "AfterString", "");
  s.ecm = ini.ReadBool("Dialing", "ECM", false);
  s.ecmReceive = ini.ReadBool("Receive", "ECMReceive", s.ecm);
  s.initStringReceive = ini.ReadString("Modem", "InitStringReceive", s.initString);
  s.faxClassReceive = ini.ReadInteger("Modem", "FaxClassReceive", s.faxClass);
  s.maximumBpsReceive = ini.ReadInteger("Modem", "MaximumBPSReceive", s.maximumBps);
  s.printOnReceipt = ini.ReadBool("Receive", "PrintOnReceipt", false);
  s.printOnReceiptPrinter = ini.ReadString("Receive", "PrintOnReceiptPrinter", "Default Windows Printer");
  s.fontName = ini.ReadString("Default Font", "Name", "Arial");
  s.fontSize = ini.ReadInteger("Default Font", "Size", 10);
  s.fontBold = ini.ReadBool("Default Font", "Bold", false);
  s.fontItalic = ini.ReadBool("Default Font", "Italic", false);
  s.fontUnderline = ini.ReadBool("Default Font", "Underline", false);
  s.hintsOn = ini.ReadBool("Hints", "On", true);
  s.prefixDisable = ini.ReadBool("User", "PrefixDisable", false);
  s.suffixDisable = ini.ReadBool("User", "SuffixDisable", false);
  return s;
}

void SaveSettings(ProfileFile& ini, const Settings& s) {
  ini.WriteString("Receive", "Wav", s.wav);
  ini.WriteBool("Receive", "AtStartup", s.atStartup);
  ini.WriteInteger("Receive", "AnswerOnRing", s.answerOnRing);
  ini.WriteString("User", "Fax", s.userFax);
  ini.WriteString("User", "Name", s.userName);
  ini.WriteString("Dialing", "DialPrefix", s.dialPrefix);
  ini.WriteString("Dialing", "DialSuffix", s.dialSuffix);
  ini.WriteString("Modem", "InitString", s.initString);
  ini.WriteInteger("Dialing", "DialAttempts", s.dialAttempts);
  ini.WriteInteger("Dialing", "RetryWait", s.retryWait);
  ini.WriteBool("Dialing", "BlindDial", s.blindDial);
  ini.WriteBool("Dialing", "IgnoreBusy", s.ignoreBusy);
  ini.WriteInteger("Modem", "ComPort", s.comPort);
  ini.WriteInteger("Modem", "FaxClass", s.faxClass);
  ini.WriteInteger("Dialing", "ToneOrPulse", s.toneOrPulse);
  ini.WriteInteger("Dialing", "Timeout", s.timeout);
  ini.WriteBool("Dialing", "ECM", s.ecm);
  ini.WriteBool("Receive", "ECMReceive", s.ecmReceive);
  ini.WriteString("Modem", "InitStringReceive", s.initStringReceive);
  ini.WriteInteger("Modem", "FaxClassReceive", s.faxClassReceive);
  ini.WriteInteger("Modem", "MaximumBPSReceive", s.maximumBpsReceive);
  ini.WriteBool("Receive", "PrintOnReceipt", s.printOnReceipt);
  ini.WriteString("Receive", "PrintOnReceiptPrinter", s.printOnReceiptPrinter);
  ini.WriteString("Default Font", "Name", s.fontName);
  ini.WriteInteger("Default Font", "Size", s.fontSize);
  ini.WriteBool("Default Font", "Bold", s.fontBold);
  ini.WriteBool("Default Font", "Italic", s.fontItalic);
  ini.WriteBool("Default Font", "Underline", s.fontUnderline);
  ini.WriteInteger("Modem", "MaximumBPS", s.maximumBps);
  ini.WriteString("Resetting", "String", s.resetString);
  ini.WriteString("Resetting", "AfterString", s.resetAfterString);
  ini.WriteBool("User", "PrefixDisable", s.prefixDisable);
  ini.WriteBool("User", "SuffixDisable", s.suffixDisable);
  ini.WriteBool("Modem", "RenegotiateBetween", s.renegotiateBetween);
  ini.WriteBool("Hints", "On", s.hintsOn);
  ini.WriteString("Version", "Version", kVersionText);
  ini.Save();
}

Settings LoadSettingsFile(const std::string& path) { return LoadSettings(ProfileFile(path)); }

void SaveSettingsFile(const std::string& path, const Settings& settings) {
  ProfileFile ini(path);
  SaveSettings(ini, settings);
}

bool ApplyFirstStartRule(Settings& settings) {
  if (settings.comPort != -1) return false;
  settings.comPort = 0;
  return true;
}

}  // namespace tlm
