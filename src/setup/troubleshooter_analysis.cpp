#include "setup/troubleshooter_analysis.h"

#include <algorithm>
#include <cctype>

#include "platform/com_ports.h"
#include "setup/troubleshooter_rtf.h"

namespace tlm::troubleshooter {

namespace {

const std::string kQuote = "\"";
constexpr int kRecommendedRate = 9600;
constexpr int kRecommendedRings = 3;

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  return text;
}

bool KnownClass(int faxClass) { return faxClass >= 0 && faxClass <= 3; }

// The class as the sentences name it: "Autodetect", "2", "2.0"; a value the
// program does not know is shown as it is stored.
std::string ClassName(int faxClass) {
  switch (faxClass) {
    case 0: return "Autodetect";
    case 1: return "1";
    case 2: return "2";
    case 3: return "2.0";
    default: return std::to_string(faxClass);
  }
}

bool KnownRate(int bps) {
  static constexpr int kRates[] = {2400, 4800, 7200, 9600, 12000, 14400};
  return std::find(std::begin(kRates), std::end(kRates), bps) != std::end(kRates);
}

std::string PortText(const Settings& s, const std::string& device) {
  const int com = s.comPort + 1;
  if (com < 1 || com > kMaxComPort) return "COM" + std::to_string(com);
  return ComPortDisplayName(com, device);
}

void ResetStringItem(std::vector<AnalysisItem>& items, const std::string& reset) {
  const std::string tail =
      "If you experience problems SENDING or RECEIVING faxes, you may need to change or remove this modem reset "
      "string. (Item #3 on the Preferences screen)";
  const std::string upper = Upper(reset);
  if (reset.empty()) {
    items.push_back({false,
                     "You are not using a modem reset string. This is normally fine. If you experience problems "
                     "SENDING or RECEIVING faxes, you may need to use a modem reset string. (Item #3 on the "
                     "Preferences screen)"});
  } else if (upper == "AT&F" || upper == "ATZ") {
    const std::string other = upper == "AT&F" ? "ATZ" : "AT&F";
    items.push_back({false, "You are using \"" + upper + "\" as your modem reset string. Normally a reset string is "
                                "not required. Some modems use \"" + other + "\" rather than \"" + upper + "\". " +
                                tail});
  } else {
    items.push_back({false, "You are using " + kQuote + reset + kQuote +
                                " as your modem reset string. Normally this should be \"ATZ\" or \"AT&F\" or blank. " +
                                tail});
  }
}

// Items 8 and 16: the init string for one direction.
AnalysisItem InitStringItem(const std::string& init, const std::string& upperWord, const std::string& lowerWord,
                            const std::string& item) {
  const std::string topic = "\"General Recommendations for Fax " + upperWord + " Problems\"";
  if (init.empty()) {
    return {false, "You are not using a modem initialization string for " + upperWord +
                       " faxes. This is normally fine. If you experience problems " + lowerWord +
                       " faxes, you may need to use an initialization string. If so, please read the topic entitled " +
                       topic + " where this topic is addressed more fully. (Item #" + item +
                       " on the Preferences screen)"};
  }
  return {false, "You are using " + kQuote + init + kQuote + " as your modem initialization string for " + upperWord +
                     " faxes. Normally an initialization string is not required. " + "If you experience problems " +
                     lowerWord +
                     " faxes, you may need to change or remove this initialization string. If so, please read the "
                     "topic entitled " +
                     topic + " where this topic is addressed more fully. (Item #" + item +
                     " on the Preferences screen)"};
}

// A value outside what the preferences offer gets a sentence of its own.
void UnknownClassItem(std::vector<AnalysisItem>& items, int faxClass, const std::string& item) {
  if (KnownClass(faxClass)) return;
  items.push_back({false, "The stored fax class " + std::to_string(faxClass) +
                              " is not one this program knows (auto detect, 1, 2 or 2.0). Choose Fax Class 1 "
                              "again. (Item #" + item + " on the Preferences screen)"});
}

void UnknownRateItem(std::vector<AnalysisItem>& items, int bps, const std::string& item) {
  if (KnownRate(bps)) return;
  items.push_back({false, "The stored transfer rate " + std::to_string(bps) +
                              " is not one a fax modem uses (2400, 4800, 7200, 9600, 12000 or 14400). Choose 9600 "
                              "again. (Item #" + item + " on the Preferences screen)"});
}

}  // namespace

std::vector<AnalysisItem> AnalyseSettings(const Settings& s, const std::string& portDevice) {
  std::vector<AnalysisItem> items;
  items.push_back({true, "Modem and Communications Port"});
  items.push_back({false, "You are using Communications Port: " + PortText(s, portDevice) +
                              ". (Item #1 on the Preferences screen)"});
  const int com = s.comPort + 1;
  if (com < 1 || com > kMaxComPort) {
    items.push_back({false, "This is not a valid port number. Use \"Find Modem Port\" to choose the port of your "
                            "modem. (Item #1 on the Preferences screen)"});
  } else if (portDevice.empty()) {
    items.push_back({false, "No serial device is set for this port. Add a line \"COM" + std::to_string(com) +
                                "=/dev/...\" to the section [Ports] of TLM.INI, or choose another port. (Item #1 "
                                "on the Preferences screen)"});
  }
  if (s.toneOrPulse == 1) {
    items.push_back({false, "You are currently using PULSE dialing. This is extremely rare. Are you certain you have "
                            "PULSE dialing? (Item #2 on the Preferences screen)"});
  }
  ResetStringItem(items, s.resetString);

  items.push_back({true, "Sending Faxes"});
  if (s.faxClass == 1) {
    items.push_back({false, "You are using Fax Class 1 for SENDING faxes. This is the recommended setting. (Item #4 "
                            "on the Preferences screen)"});
  } else {
    items.push_back({false, "You are using Fax Class " + ClassName(s.faxClass) + ". " +
                                "Our recommendation is to use Fax Class 1 if you experience any problems SENDING "
                                "faxes. (Item #4 on the Preferences screen)"});
  }
  UnknownClassItem(items, s.faxClass, "4");
  const std::string sendRate = std::to_string(s.maximumBps);
  if (s.maximumBps > kRecommendedRate) {
    items.push_back({false, "Your current Transfer Rate of " + sendRate +
                                " may be too high for sending faxes. If you are having trouble SENDING faxes, " +
                                "change it to the recommended 9600 or lower. (Item #5 on the Preferences screen)"});
  } else {
    items.push_back({false, "Your current Transfer Rate for sending faxes is " + sendRate + ". This should be fine. " +
                                "If you experience problems SENDING faxes, try lowering it to 7200.  (Item #5 on the "
                                "Preferences screen)"});
  }
  UnknownRateItem(items, s.maximumBps, "5");
  items.push_back(InitStringItem(s.initString, "SENDING", "sending", "6"));
  const bool onlyDigits =
      std::all_of(s.userFax.begin(), s.userFax.end(), [](unsigned char c) { return c >= '0' && c <= '9'; });
  if (!onlyDigits) {
    items.push_back({false, "Your Fax Number (Station ID) is " + s.userFax + ". " +
                                "When sending to some older fax machines this field must contain only " +
                                "numbers 0123456789 and no characters. If you experience problems SENDING, and " +
                                "you suspect the receiving fax machine is an older model, try changing this field to " +
                                "all numbers. e.g. use 1115551212 rather than 111-555-1212. (Item #7 on the "
                                "Preferences screen)"});
  }
  if (s.ecm) {
    items.push_back({false, "You are currently Using Fax Error Control. Only a few modems support this. If you find "
                            "you are having problems SENDING faxes, try unchecking this setting. (Item #8 on the "
                            "Preferences screen)"});
  }
  if (s.renegotiateBetween) {
    items.push_back({false, "You are currently using Renegotiate Between Pages for SENDING faxes. The line is "
                            "negotiated again before every page, which adds 2 to 3 seconds per page. Only a few "
                            "modems (some US Robotics/3COM models) need this; if multi-page faxes go through "
                            "without it, uncheck it. (Item #12 on the Preferences screen)"});
  } else {
    items.push_back({false, "You are not using Renegotiate Between Pages for SENDING faxes. This is normally fine. "
                            "If faxes fail after the first page on multi-page faxes, try checking this setting. "
                            "(Item #12 on the Preferences screen)"});
  }
  if (s.blindDial) {
    items.push_back({false, "You are using the Blind Dial setting. The modem dials without waiting for a dial tone. "
                            "This is only needed when your line's dial tone is not recognised by the modem (some "
                            "office switchboards and voice-mail lines). (Item #13 on the Preferences screen)"});
  }
  if (s.ignoreBusy) {
    items.push_back({false, "You are using the Ignore Busy setting. A busy signal does not count as a failed call. "
                            "If the program reports wrong results or does not redial a busy number, uncheck this "
                            "setting. (Item #14 on the Preferences screen)"});
  }

  items.push_back({true, "Receiving Faxes"});
  if (s.faxClassReceive == 1) {
    items.push_back({false, "You are using Fax Class 1 for RECEIVING faxes. This is the recommended setting.(Item #15 "
                            "on the Preferences screen)"});
  } else {
    items.push_back({false, "You are using Fax Class " + ClassName(s.faxClassReceive) + "." +
                                "Our recommendation is to use Fax Class 1 if you experience any problems RECEIVING "
                                "faxes. (Item #15 on the Preferences screen)"});
  }
  UnknownClassItem(items, s.faxClassReceive, "15");
  const std::string receiveRate = std::to_string(s.maximumBpsReceive);
  if (s.maximumBpsReceive > kRecommendedRate) {
    items.push_back({false, "Your current Transfer Rate for RECEIVING faxes of " + receiveRate +
                                " may be too high for RECEIVING faxes. If you are having trouble RECEIVING faxes, " +
                                "change it to the recommended 9600 or lower. (Item #16 on the Preferences screen)"});
  } else {
    items.push_back({false, "Your current Transfer Rate for RECEIVING faxes is " + receiveRate +
                                ". This should be fine. " +
                                "If you experience problems RECEIVING faxes, try lowering it to 7200.  (Item #16 on "
                                "the Preferences screen)"});
  }
  UnknownRateItem(items, s.maximumBpsReceive, "16");
  items.push_back(InitStringItem(s.initStringReceive, "RECEIVING", "receiving", "17"));
  if (s.answerOnRing > kRecommendedRings) {
    items.push_back({false, "Your Answer On Ring setting is for " + std::to_string(s.answerOnRing) +
                                " rings. In some cases this could " +
                                "cause the modem or faxmodem which is trying to send you a fax to \"Time Out\" " +
                                "because it is taking too long to answer. If you are having problems RECEIVING faxes " +
                                "try setting this to 1, 2 or 3 rings. (Item #18 on the Preferences screen)"});
  } else if (s.answerOnRing < 1) {
    items.push_back({false, "Your Answer On Ring setting is for " + std::to_string(s.answerOnRing) +
                                " rings, so the modem would never answer. Set it to 1, 2 or 3 rings. (Item #18 on "
                                "the Preferences screen)"});
  }
  if (s.ecmReceive) {
    items.push_back({false, "You are currently Using Fax Error Control for RECEIVING faxes. Only a few modems support "
                            "this. If you find you are having problems RECEIVING faxes, try unchecking this setting. "
                            "(Item #20 on the Preferences screen)"});
  }
  return items;
}

std::string AnalysisDocument(const std::vector<AnalysisItem>& items) {
  std::string doc = EmptyDocument();
  AppendBody(doc, ReplaceToken(TitledDocument(), kTitleToken, "{\\ul Analysis of Your Current Configuration}"));
  AppendPiece(doc, PlainTemplate(), "Your current configuration is listed below, with comments.");
  AppendPiece(doc, PlainTemplate(),
              "For the steps that solve most faxing problems, see also the topics \"General Recommendations for Fax "
              "SENDING Problems\" and \"General Recommendations for Fax RECEIVING Problems\".");
  for (const AnalysisItem& item : items) AppendPiece(doc, item.header ? HeaderTemplate() : BulletTemplate(), item.text);
  return doc;
}

}  // namespace tlm::troubleshooter
