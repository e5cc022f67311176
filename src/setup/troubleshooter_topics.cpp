#include "setup/troubleshooter_topics.h"

#include "fax/fax_codes.h"

namespace tlm::troubleshooter {

namespace {

TopicNode Group(std::string title, std::vector<TopicNode> children) {
  return TopicNode{std::move(title), kNoTopic, std::move(children)};
}

std::vector<TopicNode> BuildTree() {
  return {
      {"Analysis of Your Current Configuration", kAnalysisTopic, {}},
      {"General Recommendations for Fax SENDING Problems", kSendingGeneral, {}},
      {"General Recommendations for Fax RECEIVING Problems", kReceivingGeneral, {}},
      Group("Error Messages",
            {
                {"Error Message: \"Bad Response From Modem\" (when sending)", 0, {}},
                {"Error Message: \"Bad Response From Modem\" (when receiving)", 19, {}},
                {"Error Message: \"Fatal Timeout\" (when sending)\"", 1, {}},
                {"Error Message: \"Fatal Timeout\" (when receiving)", 18, {}},
                {"Error Message: \"Remote Fax Did Not Answer\"", 2, {}},
                {"Error Message: \"Failed To Connect To Remote Fax\"", 2, {}},
                {"Error Message: \"No Dial Tone\"", 4, {}},
                {"Error Message: \"Communications Port is in Use\"", 5, {}},
                {"Error Message: \"Attempt to read beyond end of file\"", 6, {}},
                {"Error Message: \"Access violation at address....\"", 7, {}},
                {"Error Message: \"No default printer detected\"", 8, {}},
                {"Error Message \"Error Opening Fax File\" when viewing a received fax.", 10, {}},
                {"All Other Error Messages", 20, {}},
            }),
      Group("Specific Problems related to Sending Faxes",
            {
                {"I cannot send faxes reliably. Various problems", 21, {}},
                {"Faxing fails after the first page on multi-page faxes", 22, {}},
                {"I can only send faxes to certain people/machines, and not to others", 24, {}},
                {"I can send one fax ok but nothing after the first one", 25, {}},
                {"The fax program was sending fine until a few days/weeks ago, and then it stopped working", 26, {}},
                {"When sending, the program hangs up before the other side has a chance to answer", 27, {}},
                {"I am having problems connecting when sending international faxes", 28, {}},
                {"The program will not dial the number when I try to send  a fax", 29, {}},
            }),
      Group("Specific Problems related to Receiving Faxes",
            {
                {"The program does not answer incoming fax calls", 41, {}},
                {"The fax answers, gives the message it is receiving and then abruptly hangs up", 49, {}},
                {"Received faxes are distorted or look weird", 44, {}},
                {"I receive faxes, but some of the lines on the document are cut in half", 47, {}},
                {"I can only receive faxes from certain people/machines, and not from others", 45, {}},
                {"The fax program was receiving faxes fine until a few days/weeks ago, and then it stopped working",
                 46,
                 {}},
                {"When I receive a multi-page fax, the first page is OK but the rest are blank", 48, {}},
                {"The printed fax is compressed and is printed out on about half a page", 50, {}},
            }),
      Group("How do I....??",
            {
                {"How do I set the program up to use a CALLING CARD?", 83, {}},
                {"How do I save faxes to different folders?", 86, {}},
                {"How do I use LEGAL or A4 size faxes?", 90, {}},
                {"How do I improve the QUALITY of faxes sent/received?", 82, {}},
                {"How do I EDIT the faxes I have received?", 85, {}},
            }),
      Group("Can the program do this....??",
            {
                {"Can I use Tolmera to send faxes from Microsoft Word or other Windows programs?", 143, {}},
                {"Can I scan something and send it as a fax?", 143, {}},
                {"Can I send or receive faxes with my ISDN modem?", 131, {}},
                {"Can I send or receive faxes with my CABLE modem?", 131, {}},
                {"Can I set up the program to work on a NETWORK, so that several people can use it?", 132, {}},
                {"Can I SEND faxes MANUALLY? (i.e. listen for fax tone, press SEND)", 134, {}},
                {"Can I RECEIVE faxes MANUALLY? (i.e. listen for fax tone, press RECEIVE)", 133, {}},
                {"Can I receive faxes when the computer is turned OFF?", 135, {}},
                {"Can I receive faxes when the program is NOT RUNNING?", 135, {}},
                {"Can I send the same fax to a group of people at different phone numbers (BROADCAST Faxing)?", 136, {}},
                {"Does your program support FAXBACK", 137, {}},
                {"Does your program support DISTINCTIVE RING?", 138, {}},
                {"Can your program receive faxes in the BACKGROUND?", 139, {}},
                {"Can your program fax several faxes all at one time? (BATCH Faxing)", 140, {}},
                {"Can I schedule faxes to be sent at a later time? (Fax SCHEDULING)", 141, {}},
                {"Can I use one telephone line for both voice and fax?", 142, {}},
            }),
      Group("Upgrading, Installation Issues",
            {
                {"When I upgraded, the program lost all its files, (address book, previous faxes, etc.)", 103, {}},
                {"How often should I upgrade?", 104, {}},
                {"Will upgrading damage or overwrite my files (addresses, faxes, etc)?", 105, {}},
            }),
      {"How do I get Technical Support?", kSupportTopic, {}},
  };
}

}  // namespace

const std::vector<TopicNode>& TopicTree() {
  static const std::vector<TopicNode> tree = BuildTree();
  return tree;
}

int TopicForError(int errorCode, bool sending) {
  switch (errorCode) {
    case -fax_error::kNoAnswer:
    case -fax_error::kConnectFailed: return 2;
    case -fax_error::kNoDialTone: return 4;
    case -fax_error::kBadModemResponse: return sending ? 0 : 19;
    case -fax_error::kTimeout: return sending ? 1 : 18;
    default: return kUnmatchedError;
  }
}

std::optional<GenericAnswer> GenericAnswerFor(int id) {
  switch (id) {
    case 0: return GenericAnswer{0, false, true, false};
    case 19: return GenericAnswer{0, false, false, true};
    case 1: return GenericAnswer{1, false, true, false};
    case 18: return GenericAnswer{1, false, false, true};
    case 2: return GenericAnswer{2, true, true, false};
    case 21: return GenericAnswer{21, false, true, false};
    case 41: return GenericAnswer{41, false, false, true};
    case kSendingGeneral: return GenericAnswer{kSendingGeneral, false, true, false};
    case kReceivingGeneral: return GenericAnswer{kReceivingGeneral, false, false, true};
    default: return std::nullopt;
  }
}

}  // namespace tlm::troubleshooter
