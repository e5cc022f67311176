// The troubleshooter: its topic tree, the analysis of the settings item by
// item, the stored and composed answers, preselection from an error code,
// and the window as a user works it (tabs, buttons, copy, print), also from
// the main window's Problem Solver button.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QFile>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>
#include <QTreeWidget>
#include <cstdio>

#include "app/main_screen.h"
#include "app/storage_tables.h"
#include "gui_test_support.h"
#include "modal_driver.h"
#include "platform/profile_file.h"
#include "richtext/rich_text_editor.h"
#include "richtext/rtf/rtf_reader.h"
#include "setup/troubleshooter_analysis.h"
#include "setup/troubleshooter_answers.h"
#include "setup/troubleshooter_hooks.h"
#include "setup/troubleshooter_rtf.h"
#include "setup/troubleshooter_topics.h"
#include "setup/troubleshooter_window.h"

namespace tlm {
namespace {

using namespace troubleshooter;
using testing::App;
using testing::DataFolderScope;
using testing::ModalDriver;
using testing::WaitUntil;

// ---- the tree ---------------------------------------------------------------

struct Line {
  int depth;
  std::string title;
  int id;
  bool operator==(const Line&) const = default;
};

void Flatten(const std::vector<TopicNode>& nodes, int depth, std::vector<Line>& out) {
  for (const TopicNode& n : nodes) {
    out.push_back({depth, n.title, n.id});
    Flatten(n.children, depth + 1, out);
  }
}

const std::vector<Line>& ExpectedTree() {
  static const std::vector<Line> lines = {
      {0, "Analysis of Your Current Configuration", 202},
      {0, "General Recommendations for Fax SENDING Problems", 200},
      {0, "General Recommendations for Fax RECEIVING Problems", 201},
      {0, "Error Messages", -1},
      {1, "Error Message: \"Bad Response From Modem\" (when sending)", 0},
      {1, "Error Message: \"Bad Response From Modem\" (when receiving)", 19},
      {1, "Error Message: \"Fatal Timeout\" (when sending)\"", 1},
      {1, "Error Message: \"Fatal Timeout\" (when receiving)", 18},
      {1, "Error Message: \"Remote Fax Did Not Answer\"", 2},
      {1, "Error Message: \"Failed To Connect To Remote Fax\"", 2},
      {1, "Error Message: \"No Dial Tone\"", 4},
      {1, "Error Message: \"Communications Port is in Use\"", 5},
      {1, "Error Message: \"Attempt to read beyond end of file\"", 6},
      {1, "Error Message: \"Access violation at address....\"", 7},
      {1, "Error Message: \"No default printer detected\"", 8},
      {1, "Error Message \"Error Opening Fax File\" when viewing a received fax.", 10},
      {1, "All Other Error Messages", 20},
      {0, "Specific Problems related to Sending Faxes", -1},
      {1, "I cannot send faxes reliably. Various problems", 21},
      {1, "Faxing fails after the first page on multi-page faxes", 22},
      {1, "I can only send faxes to certain people/machines, and not to others", 24},
      {1, "I can send one fax ok but nothing after the first one", 25},
      {1, "The fax program was sending fine until a few days/weeks ago, and then it stopped working", 26},
      {1, "When sending, the program hangs up before the other side has a chance to answer", 27},
      {1, "I am having problems connecting when sending international faxes", 28},
      {1, "The program will not dial the number when I try to send  a fax", 29},
      {0, "Specific Problems related to Receiving Faxes", -1},
      {1, "The program does not answer incoming fax calls", 41},
      {1, "The fax answers, gives the message it is receiving and then abruptly hangs up", 49},
      {1, "Received faxes are distorted or look weird", 44},
      {1, "I receive faxes, but some of the lines on the document are cut in half", 47},
      {1, "I can only receive faxes from certain people/machines, and not from others", 45},
      {1, "The fax program was receiving faxes fine until a few days/weeks ago, and then it stopped working", 46},
      {1, "When I receive a multi-page fax, the first page is OK but the rest are blank", 48},
      {1, "The printed fax is compressed and is printed out on about half a page", 50},
      {0, "How do I....??", -1},
      {1, "How do I set the program up to use a CALLING CARD?", 83},
      {1, "How do I save faxes to different folders?", 86},
      {1, "How do I use LEGAL or A4 size faxes?", 90},
      {1, "How do I improve the QUALITY of faxes sent/received?", 82},
      {1, "How do I EDIT the faxes I have received?", 85},
      {0, "Can the program do this....??", -1},
      {1, "Can I use Tolmera to send faxes from Microsoft Word or other Windows programs?", 143},
      {1, "Can I scan something and send it as a fax?", 143},
      {1, "Can I send or receive faxes with my ISDN modem?", 131},
      {1, "Can I send or receive faxes with my CABLE modem?", 131},
      {1, "Can I set up the program to work on a NETWORK, so that several people can use it?", 132},
      {1, "Can I SEND faxes MANUALLY? (i.e. listen for fax tone, press SEND)", 134},
      {1, "Can I RECEIVE faxes MANUALLY? (i.e. listen for fax tone, press RECEIVE)", 133},
      {1, "Can I receive faxes when the computer is turned OFF?", 135},
      {1, "Can I receive faxes when the program is NOT RUNNING?", 135},
      {1, "Can I send the same fax to a group of people at different phone numbers (BROADCAST Faxing)?", 136},
      {1, "Does your program support FAXBACK", 137},
      {1, "Does your program support DISTINCTIVE RING?", 138},
      {1, "Can your program receive faxes in the BACKGROUND?", 139},
      {1, "Can your program fax several faxes all at one time? (BATCH Faxing)", 140},
      {1, "Can I schedule faxes to be sent at a later time? (Fax SCHEDULING)", 141},
      {1, "Can I use one telephone line for both voice and fax?", 142},
      {0, "Upgrading, Installation Issues", -1},
      {1, "When I upgraded, the program lost all its files, (address book, previous faxes, etc.)", 103},
      {1, "How often should I upgrade?", 104},
      {1, "Will upgrading damage or overwrite my files (addresses, faxes, etc)?", 105},
      {0, "How do I get Technical Support?", 666},
  };
  return lines;
}

// The plain text of an RTF answer, as an independent program reads it.
std::string PlainText(const std::string& rtf) {
  rtf::Document doc;
  EXPECT_TRUE(rtf::ReadRtf(rtf, doc));
  return doc.PlainText();
}

TEST(TroubleshooterTopics, TheTreeHoldsEveryTopicWithItsIdInOrderAndEveryTopicHasAnAnswer) {
  std::vector<Line> tree;
  Flatten(TopicTree(), 0, tree);
  ASSERT_EQ(tree.size(), ExpectedTree().size());
  for (std::size_t i = 0; i < tree.size(); ++i) EXPECT_EQ(tree[i], ExpectedTree()[i]) << "line " << i;
  for (const Line& line : tree) {
    if (line.id < 0) continue;
    const std::string text = PlainText(ComposeAnswer(line.id, line.title, AnalysisDocument({})));
    EXPECT_GT(text.size(), 80u) << line.title;
    if (!GenericAnswerFor(line.id) && line.id != kAnalysisTopic && line.id != kSupportTopic) {
      EXPECT_EQ(text.rfind(line.title, 0), 0u) << "the heading is the title: " << line.title;
    }
  }
}

TEST(TroubleshooterTopics, ErrorCodesMapToTheirTopicsForSendingAndReceiving) {
  EXPECT_EQ(TopicForError(-8074, true), 2);
  EXPECT_EQ(TopicForError(-8068, false), 2);
  EXPECT_EQ(TopicForError(-8067, true), 4);
  EXPECT_EQ(TopicForError(-8067, false), 4);
  EXPECT_EQ(TopicForError(-8061, true), 0);
  EXPECT_EQ(TopicForError(-8061, false), 19);
  EXPECT_EQ(TopicForError(-6006, true), 1);
  EXPECT_EQ(TopicForError(-6006, false), 18);
  EXPECT_EQ(TopicForError(-8064, true), 255);
  EXPECT_EQ(TopicForError(0, false), 255);
}

// ---- the RTF pieces -----------------------------------------------------------

TEST(TroubleshooterRtf, BodiesAreSplicedBetweenTheColourTableAndTheEnd) {
  EXPECT_EQ(RtfBody("{\\rtf1{\\colortbl;\\red0;}XYZ}\r\n"), "XYZ");
  EXPECT_EQ(RtfBody("{\\rtf1 no table}\r\n"), "");
  EXPECT_EQ(RtfBody("{\\rtf1{\\colortbl;\\red0;"), "");
  std::string doc = "{\\rtf1{\\colortbl;}A}\r\n";
  AppendBody(doc, "{\\rtf1{\\colortbl;}B}\r\n");
  EXPECT_EQ(doc, "{\\rtf1{\\colortbl;}AB}\r\n");
  AppendBody(doc, "{\\rtf1{\\colortbl;}  }\r\n");  // a blank body adds nothing
  AppendPiece(doc, PlainTemplate(), "   ");
  EXPECT_EQ(doc, "{\\rtf1{\\colortbl;}AB}\r\n");
  EXPECT_EQ(ReplaceToken("%T%x%T%", "%T%", ""), "x");
  EXPECT_EQ(ReplaceToken("%t%", "%T%", "y"), "%t%");
  // Text with RTF's own characters and beyond ASCII survives the trip.
  std::string text = EmptyDocument();
  AppendPiece(text, BulletTemplate(), "AT\\N0 {braces} Grüße");
  EXPECT_NE(PlainText(text).find("AT\\N0 {braces} Grüße"), std::string::npos) << PlainText(text);
}

TEST(TroubleshooterAnswers, AComposedAnswerAddsTheCheckLinesTheConfigurationAdviceAndTheOtherFactors) {
  const std::string remote = PlainText(ComposeAnswer(2, "Error Message: \"No Dial Tone\"", ""));
  const std::size_t check = remote.find("First, ensure there is a faxmodem or fax machine at the other end");
  const std::size_t verify = remote.find("Verify that the fax number you are calling is correct.");
  const std::size_t voice =
      remote.find("Make a voice call to the receiving fax to verify that you can hear an answering fax tone.");
  const std::size_t sending = remote.find("Configuration for Fax Sending");
  const std::size_t other = remote.find("Other Factors Which Can Cause Faxing Problems");
  ASSERT_NE(check, std::string::npos);
  EXPECT_LT(check, verify);
  EXPECT_LT(verify, voice);
  EXPECT_LT(voice, sending);
  EXPECT_LT(sending, other);
  EXPECT_EQ(remote.find("Configuration for Fax Receiving"), std::string::npos);

  const std::string receiving = PlainText(ComposeAnswer(19, "T", ""));
  EXPECT_EQ(receiving.find("First, ensure"), std::string::npos);
  EXPECT_EQ(receiving.find("Configuration for Fax Sending"), std::string::npos);
  EXPECT_LT(receiving.find("Configuration for Fax Receiving"), receiving.find("Other Factors"));
  // 19 starts from the answer of 0, under its own title.
  EXPECT_EQ(receiving.rfind("T\nThe modem gave a response", 0), 0u) << receiving;

  EXPECT_EQ(ComposeAnswer(3, "no such topic", ""), "");
  EXPECT_EQ(ComposeAnswer(-1, "group", ""), "");
  EXPECT_EQ(StoredAnswers().Lookup(999), "");
}

// ---- the analysis -----------------------------------------------------------------

std::vector<std::string> Bullets(const Settings& s, const std::string& device = "/dev/ttyS0") {
  std::vector<std::string> out;
  for (const AnalysisItem& item : AnalyseSettings(s, device)) {
    if (!item.header) out.push_back(item.text);
  }
  return out;
}

// The one item that starts with `prefix`; "" when none does (and a failure
// when several do).
std::string Item(const Settings& s, const std::string& prefix) {
  std::string found;
  for (const std::string& text : Bullets(s)) {
    if (text.rfind(prefix, 0) != 0) continue;
    EXPECT_TRUE(found.empty()) << "twice: " << prefix;
    found = text;
  }
  return found;
}

TEST(TroubleshooterAnalysis, TheHeadersComeInOrderAndThePortIsNamedWithItsDevice) {
  std::vector<std::string> headers;
  for (const AnalysisItem& item : AnalyseSettings(Settings{}, "")) {
    if (item.header) headers.push_back(item.text);
  }
  EXPECT_EQ(headers, (std::vector<std::string>{"Modem and Communications Port", "Sending Faxes", "Receiving Faxes"}));
  Settings s;
  s.comPort = 2;
  EXPECT_EQ(Item(s, "You are using Communications Port"),
            "You are using Communications Port: COM3 (/dev/ttyS0). (Item #1 on the Preferences screen)");
}

TEST(TroubleshooterAnalysis, EachItemAppearsForTheSettingThatTriggersItAndNotOtherwise) {
  Settings plain;  // the defaults: class 1, 9600, tone, no strings, one ring
  plain.comPort = 0;
  Settings s = plain;

  EXPECT_EQ(Item(plain, "You are currently using PULSE"), "");
  s.toneOrPulse = 1;
  EXPECT_NE(Item(s, "You are currently using PULSE dialing. This is extremely rare."), "");

  EXPECT_NE(Item(plain, "You are not using a modem reset string."), "");
  s.resetString = "at&f";
  EXPECT_EQ(Item(s, "You are using \"AT&F\""),
            "You are using \"AT&F\" as your modem reset string. Normally a reset string is not required. Some modems "
            "use \"ATZ\" rather than \"AT&F\". If you experience problems SENDING or RECEIVING faxes, you may need to "
            "change or remove this modem reset string. (Item #3 on the Preferences screen)");
  s.resetString = "ATZ";
  EXPECT_NE(Item(s, "You are using \"ATZ\" as your modem reset string.").find("Some modems use \"AT&F\" rather than "
                                                                                "\"ATZ\"."),
            std::string::npos);
  s.resetString = "AT&F1";
  EXPECT_NE(Item(s, "You are using \"AT&F1\" as your modem reset string. Normally this should be \"ATZ\" or "
                    "\"AT&F\" or blank. If you experience"),
            "");

  EXPECT_EQ(Item(plain, "You are using Fax Class 1 for SENDING faxes."),
            "You are using Fax Class 1 for SENDING faxes. This is the recommended setting. (Item #4 on the "
            "Preferences screen)");
  for (auto [value, name] : {std::pair{0, "Autodetect"}, {2, "2"}, {3, "2.0"}}) {
    s.faxClass = value;
    EXPECT_EQ(Item(s, "You are using Fax Class " + std::string(name) + ". "),
              "You are using Fax Class " + std::string(name) +
                  ". Our recommendation is to use Fax Class 1 if you experience any problems SENDING faxes. (Item #4 "
                  "on the Preferences screen)");
  }

  s.maximumBps = 12000;
  EXPECT_EQ(Item(s, "Your current Transfer Rate of "),
            "Your current Transfer Rate of 12000 may be too high for sending faxes. If you are having trouble SENDING "
            "faxes, change it to the recommended 9600 or lower. (Item #5 on the Preferences screen)");
  EXPECT_EQ(Item(plain, "Your current Transfer Rate for sending faxes is "),
            "Your current Transfer Rate for sending faxes is 9600. This should be fine. If you experience problems "
            "SENDING faxes, try lowering it to 7200.  (Item #5 on the Preferences screen)");
  EXPECT_EQ(Item(plain, "Your current Transfer Rate of "), "");

  EXPECT_NE(Item(plain, "You are not using a modem initialization string for SENDING faxes."), "");
  s.initString = "ATS7=90";
  EXPECT_EQ(Item(s, "You are using \"ATS7=90\""),
            "You are using \"ATS7=90\" as your modem initialization string for SENDING faxes. Normally an "
            "initialization string is not required. If you experience problems sending faxes, you may need to change "
            "or remove this initialization string. If so, please read the topic entitled \"General Recommendations "
            "for Fax SENDING Problems\" where this topic is addressed more fully. (Item #6 on the Preferences screen)");

  s.userFax = "555-1212";
  EXPECT_NE(Item(s, "Your Fax Number (Station ID) is 555-1212. When sending to some older fax machines"), "");
  s.userFax = "5551212";
  EXPECT_EQ(Item(s, "Your Fax Number"), "");
  s.userFax = "";
  EXPECT_EQ(Item(s, "Your Fax Number"), "");

  EXPECT_EQ(Item(plain, "You are currently Using Fax Error Control."), "");
  s.ecm = true;
  EXPECT_NE(Item(s, "You are currently Using Fax Error Control. Only a few modems"), "");

  EXPECT_NE(Item(plain, "You are not using Renegotiate Between Pages for SENDING faxes."), "");
  EXPECT_EQ(Item(plain, "You are currently using Renegotiate"), "");
  s.renegotiateBetween = true;
  const std::string renegotiate = Item(s, "You are currently using Renegotiate Between Pages for SENDING faxes.");
  EXPECT_NE(renegotiate.find("(Item #12 on the Preferences screen)"), std::string::npos);
  EXPECT_EQ(Item(s, "You are not using Renegotiate"), "");

  EXPECT_EQ(Item(plain, "You are using the Blind Dial setting."), "");
  EXPECT_EQ(Item(plain, "You are using the Ignore Busy setting."), "");
  s.blindDial = true;
  s.ignoreBusy = true;
  EXPECT_NE(Item(s, "You are using the Blind Dial setting.").find("(Item #13 on the Preferences screen)"),
            std::string::npos);
  EXPECT_NE(Item(s, "You are using the Ignore Busy setting.").find("(Item #14 on the Preferences screen)"),
            std::string::npos);

  EXPECT_EQ(Item(plain, "You are using Fax Class 1 for RECEIVING faxes."),
            "You are using Fax Class 1 for RECEIVING faxes. This is the recommended setting.(Item #15 on the "
            "Preferences screen)");
  s.faxClassReceive = 3;
  EXPECT_EQ(Item(s, "You are using Fax Class 2.0.Our"),
            "You are using Fax Class 2.0.Our recommendation is to use Fax Class 1 if you experience any problems "
            "RECEIVING faxes. (Item #15 on the Preferences screen)");

  s.maximumBpsReceive = 14400;
  EXPECT_NE(Item(s, "Your current Transfer Rate for RECEIVING faxes of 14400 may be too high for RECEIVING faxes."),
            "");
  EXPECT_NE(Item(plain, "Your current Transfer Rate for RECEIVING faxes is 9600. This should be fine. "), "");

  EXPECT_NE(Item(plain, "You are not using a modem initialization string for RECEIVING faxes.")
                .find("\"General Recommendations for Fax RECEIVING Problems\""),
            std::string::npos);
  s.initStringReceive = "AT&K0";
  EXPECT_NE(Item(s, "You are using \"AT&K0\" as your modem initialization string for RECEIVING faxes.")
                .find("(Item #17 on the Preferences screen)"),
            std::string::npos);

  s.answerOnRing = 4;
  EXPECT_NE(Item(s, "Your Answer On Ring setting is for 4 rings. In some cases this could cause the modem"), "");
  s.answerOnRing = 3;
  EXPECT_EQ(Item(s, "Your Answer On Ring"), "");

  EXPECT_EQ(Item(plain, "You are currently Using Fax Error Control for RECEIVING faxes."), "");
  s.ecmReceive = true;
  EXPECT_NE(Item(s, "You are currently Using Fax Error Control for RECEIVING faxes."), "");
}

TEST(TroubleshooterAnalysis, ValuesOutOfRangeAreNamedAndExplained) {
  Settings s;
  s.comPort = -3;
  s.faxClass = 7;
  s.maximumBps = 12345;
  s.faxClassReceive = -1;
  EXPECT_EQ(Item(s, "You are using Communications Port"),
            "You are using Communications Port: COM-2. (Item #1 on the Preferences screen)");
  EXPECT_NE(Item(s, "This is not a valid port number."), "");
  EXPECT_NE(Item(s, "You are using Fax Class 7. Our recommendation"), "");
  EXPECT_NE(Item(s, "The stored fax class 7 is not one this program knows"), "");
  EXPECT_NE(Item(s, "The stored fax class -1 is not one this program knows"), "");
  EXPECT_NE(Item(s, "Your current Transfer Rate of 12345 may be too high"), "");
  EXPECT_NE(Item(s, "The stored transfer rate 12345 is not one a fax modem uses"), "");
  Settings fine;
  fine.comPort = 0;
  EXPECT_EQ(Item(fine, "The stored"), "");
  EXPECT_EQ(Item(fine, "This is not a valid port number."), "");
}

// ---- the window ---------------------------------------------------------------------

class TroubleshooterWindowTest : public ::testing::Test {
 protected:
  TroubleshooterWindowTest() { App(); }

  std::unique_ptr<TFaxProblemSolverDialog> Open(int preselected, const Settings& s = Settings{}) {
    auto w = std::make_unique<TFaxProblemSolverDialog>(s, preselected);
    w->show();
    testing::Settle();
    return w;
  }

  static QTreeWidgetItem* Find(QTreeWidget* tree, const QString& title) {
    const auto found = tree->findItems(title, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
  }

  static void Click(QTreeWidget* tree, QTreeWidgetItem* item, bool twice = false) {
    tree->scrollToItem(item);
    const QPoint at = tree->visualItemRect(item).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    if (twice) QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
  }

  DataFolderScope data;
};

TEST_F(TroubleshooterWindowTest, TheWindowShowsTheTreeAndOpensOnTheAnalysisWhenNothingIsPreselected) {
  Settings s;
  s.comPort = 0;
  s.userFax = "555-1212";
  auto w = Open(-1, s);
  EXPECT_EQ(w->windowTitle(), "Fax Problem Solver");
  EXPECT_EQ(w->Pages()->tabText(0), "Select Topic");
  EXPECT_EQ(w->Pages()->tabText(1), "Answers");
  // The tree as shown is the list, in order.
  std::vector<Line> shown;
  for (QTreeWidgetItemIterator it(w->TopicTree()); *it; ++it) {
    int depth = 0;
    for (QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent()) ++depth;
    shown.push_back({depth, (*it)->text(0).toStdString(), (*it)->data(0, Qt::UserRole).toInt()});
  }
  EXPECT_EQ(shown, ExpectedTree());

  EXPECT_EQ(w->CurrentId(), 202);
  EXPECT_EQ(w->TopicTree()->currentItem()->text(0), "Analysis of Your Current Configuration");
  EXPECT_TRUE(w->TopicTree()->hasFocus());
  EXPECT_TRUE(w->AnswersTabVisible());
  const QString text = w->AnswerText();
  EXPECT_TRUE(text.startsWith("Analysis of Your Current Configuration\nYour current configuration is listed below, "
                              "with comments."))
      << text.toStdString();
  EXPECT_TRUE(text.contains("Your Fax Number (Station ID) is 555-1212."));
  EXPECT_EQ(text.count("You are using Communications Port: COM1 (/dev/ttyS0)."), 1);
  // Print and copy show with the answers only.
  EXPECT_FALSE(w->PrintButton()->isVisible());
  EXPECT_FALSE(w->CopyButton()->isVisible());
  QTest::keyClick(w->TopicTree(), Qt::Key_Return);
  EXPECT_EQ(w->Pages()->currentIndex(), 1);
  EXPECT_TRUE(w->PrintButton()->isVisible());
  EXPECT_TRUE(w->CopyButton()->isVisible());
  EXPECT_TRUE(w->isVisible());  // Enter on a topic does not close the window
  QTest::mouseClick(w->OkButton(), Qt::LeftButton);
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(w->result(), QDialog::Accepted);
}

TEST_F(TroubleshooterWindowTest, AReceivingTimeoutOpensOnItsTopicWithTheReceivingAdviceAndTheOtherFactors) {
  auto w = Open(TopicForError(-6006, false));
  EXPECT_EQ(w->CurrentId(), 18);
  EXPECT_EQ(w->TopicTree()->currentItem()->text(0), "Error Message: \"Fatal Timeout\" (when receiving)");
  const QString text = w->AnswerText();
  EXPECT_TRUE(text.startsWith("Error Message: \"Fatal Timeout\" (when receiving)\n"));
  const qsizetype receiving = text.indexOf("Configuration for Fax Receiving");
  const qsizetype other = text.indexOf("Other Factors Which Can Cause Faxing Problems");
  EXPECT_GT(receiving, 0);
  EXPECT_GT(other, receiving);
  EXPECT_FALSE(text.contains("Configuration for Fax Sending"));
  // The RTF the window shows is the composed answer.
  EXPECT_EQ(w->AnswerRtf(), ComposeAnswer(18, "Error Message: \"Fatal Timeout\" (when receiving)",
                                          AnalysisDocument(AnalyseSettings(Settings{}, ""))));
}

TEST_F(TroubleshooterWindowTest, AnUnmatchedErrorOpensOnTheFirstTopicAndSendingErrorsOnTheirOwn) {
  EXPECT_EQ(Open(TopicForError(-8064, true))->CurrentId(), 202);
  EXPECT_EQ(Open(TopicForError(-8061, true))->TopicTree()->currentItem()->text(0),
            "Error Message: \"Bad Response From Modem\" (when sending)");
  // The first node with the id is chosen: "Remote Fax Did Not Answer".
  EXPECT_EQ(Open(TopicForError(-8068, true))->TopicTree()->currentItem()->text(0),
            "Error Message: \"Remote Fax Did Not Answer\"");
}

TEST_F(TroubleshooterWindowTest, AGroupLineHidesTheAnswersAndADoubleClickOnATopicShowsThem) {
  auto w = Open(-1);
  QTreeWidget* tree = w->TopicTree();
  Click(tree, Find(tree, "Error Messages"));
  EXPECT_EQ(w->CurrentId(), -1);
  EXPECT_FALSE(w->AnswersTabVisible());
  EXPECT_FALSE(w->PrintButton()->isVisible());
  QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(tree->currentItem()).center());
  EXPECT_EQ(w->Pages()->currentIndex(), 0);  // no answer to switch to

  Click(tree, Find(tree, "Faxing fails after the first page on multi-page faxes"), true);
  EXPECT_EQ(w->CurrentId(), 22);
  EXPECT_TRUE(w->AnswersTabVisible());
  EXPECT_EQ(w->Pages()->currentIndex(), 1);
  EXPECT_TRUE(w->AnswerText().contains("2 to 3 seconds more per page"));
  EXPECT_TRUE(w->PrintButton()->isVisible());
  w->Pages()->setCurrentIndex(0);
  EXPECT_FALSE(w->CopyButton()->isVisible());
}

TEST_F(TroubleshooterWindowTest, CopyPutsTheWholeAnswerOnTheClipboardAsRichTextAndLeavesTheSelection) {
  auto w = Open(27);
  w->Pages()->setCurrentIndex(1);
  QTextCursor selection = w->AnswerView()->TextCursor();
  selection.setPosition(3);
  selection.setPosition(9, QTextCursor::KeepAnchor);
  w->AnswerView()->SetTextCursor(selection);
  QApplication::clipboard()->clear();
  QTest::mouseClick(w->CopyButton(), Qt::LeftButton);
  const QMimeData* data = QApplication::clipboard()->mimeData();
  ASSERT_NE(data, nullptr);
  ASSERT_TRUE(data->hasFormat("text/rtf"));
  const std::string rtf = data->data("text/rtf").toStdString();
  EXPECT_EQ(rtf, w->AnswerRtf());
  const std::string plain = PlainText(rtf);
  EXPECT_EQ(plain.rfind("When sending, the program hangs up before the other side has a chance to answer\n", 0), 0u);
  EXPECT_NE(plain.find("S7=90"), std::string::npos);
  EXPECT_EQ(plain.find("Other Factors"), std::string::npos);  // a stored answer, not a composed one
  EXPECT_EQ(w->AnswerView()->TextCursor().selectionStart(), 3);
  EXPECT_EQ(w->AnswerView()->TextCursor().selectionEnd(), 9);
}

TEST_F(TroubleshooterWindowTest, PrintingWritesTheWholeAnswerUnderItsTitle) {
  auto w = Open(41);
  w->Pages()->setCurrentIndex(1);
  const QString pdf = QString::fromStdString(data.dir.File("answer.pdf"));
  ModalDriver driver;
  QString jobTitle;
  driver.Then([&](QWidget* dialog) {
    auto* print = qobject_cast<QPrintDialog*>(dialog);
    ASSERT_NE(print, nullptr) << dialog->metaObject()->className();
    print->printer()->setOutputFormat(QPrinter::PdfFormat);
    print->printer()->setOutputFileName(pdf);
    print->done(QDialog::Accepted);  // as accept(), keeping the file chosen above
  });
  QTest::mouseClick(w->PrintButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }));
  EXPECT_TRUE(driver.unexpected.empty());
  // Independent readers find the title and the text in the file.
  const std::string base = data.dir.File("answer");
  ASSERT_EQ(std::system(("pdfinfo '" + base + ".pdf' > '" + base + ".info'").c_str()), 0);
  const std::string info = testing::ReadText(base + ".info");
  const std::size_t title = info.find("Title:");
  ASSERT_NE(title, std::string::npos) << info;
  EXPECT_EQ(info.substr(title, info.find('\n', title) - title).find("The program does not answer incoming fax calls"),
            info.substr(title, info.find('\n', title) - title).size() - 46)
      << info;
  ASSERT_EQ(std::system(("pdftotext '" + base + ".pdf' '" + base + ".txt'").c_str()), 0);
  const std::string text = testing::ReadText(base + ".txt");
  EXPECT_NE(text.find("Configuration for Fax Receiving"), std::string::npos) << text;
  EXPECT_NE(text.find("Other Factors Which Can Cause Faxing Problems"), std::string::npos) << text;

  // Cancelling the print dialog prints nothing.
  QFile::remove(pdf);
  driver.Then([](QWidget* dialog) { qobject_cast<QDialog*>(dialog)->reject(); });
  QTest::mouseClick(w->PrintButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }));
  testing::Settle();
  EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(TroubleshooterWindowTest, TheAnalysisIsBuiltOncePerOpeningAndReopeningShowsItOnce) {
  Settings s;
  s.comPort = 1;
  for (int round = 0; round < 2; ++round) {
    auto w = Open(202, s);
    w->hide();
    w->show();  // a second activation builds nothing again
    testing::Settle();
    EXPECT_EQ(w->AnswerText().count("You are using Communications Port: COM2"), 1);
  }
}

TEST_F(TroubleshooterWindowTest, SettingsOutOfRangeStillOpenTheWindowAndAreExplained) {
  Settings s;
  s.comPort = -3;
  s.faxClass = 7;
  s.maximumBps = 12345;
  s.answerOnRing = -5;
  auto w = Open(-1, s);
  const QString text = w->AnswerText();
  EXPECT_TRUE(text.contains("You are using Communications Port: COM-2."));
  EXPECT_TRUE(text.contains("This is not a valid port number."));
  EXPECT_TRUE(text.contains("The stored fax class 7 is not one this program knows"));
  EXPECT_TRUE(text.contains("The stored transfer rate 12345 is not one a fax modem uses"));
  EXPECT_TRUE(text.contains("Your Answer On Ring setting is for -5 rings, so the modem would never answer."));
}

TEST_F(TroubleshooterWindowTest, TheMainWindowsProblemSolverButtonOpensItOnTheCurrentSettings) {
  {
    ProfileFile ini(data.dir.File("TLM.INI"));
    ini.WriteInteger("Modem", "ComPort", 2);
    ini.WriteInteger("Receive", "AnswerOnRing", 6);
    ini.Save();
  }
  std::unique_ptr<TableProvider> tables = CreateStorageTables();
  MainScreenHooks hooks;
  InstallHelpHooks(hooks);
  ModalDriver driver;
  driver.Click(QMessageBox::No);  // the reindex question of a first start
  TMainScreen main(*tables, hooks);
  main.show();
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }));
  testing::Settle();
  QString seen;
  driver.Then([&](QWidget* w) {
    auto* solver = qobject_cast<TFaxProblemSolverDialog*>(w);
    ASSERT_NE(solver, nullptr) << w->metaObject()->className();
    seen = solver->AnswerText();
    QTest::mouseClick(solver->OkButton(), Qt::LeftButton);
  });
  QTest::mouseClick(main.findChild<QPushButton*>("ProblemSolverButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }));
  EXPECT_TRUE(seen.contains("You are using Communications Port: COM3 (/dev/ttyS2)."));
  EXPECT_TRUE(seen.contains("Your Answer On Ring setting is for 6 rings."));
  EXPECT_TRUE(driver.unexpected.empty());
  main.close();
}

}  // namespace
}  // namespace tlm
