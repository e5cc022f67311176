#include "setup/troubleshooter_answers.h"

#include <sstream>

#include "setup/troubleshooter_rtf.h"
#include "setup/troubleshooter_topics.h"

namespace tlm::troubleshooter {

namespace {

struct StoredText {
  int key;
  const char* name;
  const char* lines;
};

// The answers by topic key. Each is written as lines (see ComposeStoredText).
constexpr StoredText kAnswers[] = {
    {0, "Bad response",
     "The modem gave a response the program did not expect. This is almost always a matter of configuration: the "
     "fax class, the transfer rate or the initialization string do not suit the modem.\n"
     "* Check that the port really is your modem's port: use \"Find Modem Port\" in the Preferences.\n"
     "* Use \"Check Fax Class\" in the Preferences and choose the class it recommends; Class 1 works with most "
     "modems.\n"
     "* Remove the initialization string, or build one with \"Help with Init Strings\".\n"
     "Below are the settings to check, one by one."},
    {1, "Fatal timeout",
     "Too much time passed while the program waited for the modem or for the other fax machine. Common causes:\n"
     "* The configuration: fax class, transfer rate or initialization string (see below).\n"
     "* Programs running in the background that keep the computer busy (large downloads, backups, virus scans, "
     "video). Close them while faxing.\n"
     "* Another program that also uses the modem's serial device, such as ModemManager, which probes new modems. "
     "\"Help - Configuration Information\" lists the programs that hold a serial device open.\n"
     "* A bad telephone line (see \"Other Factors\" below)."},
    {2, "Remote fax did not answer",
     "The call was made but no fax connection was established. Possible causes: the number is wrong or not a fax "
     "number, the other machine is switched off, out of paper or busy with another call, a person or an answering "
     "machine took the call, or the other machine answered too slowly for your modem."},
    {4, "No dial tone",
     "The modem did not hear a dial tone when it went off hook. This is a matter of the telephone system or the "
     "cabling, not of the program.\n"
     "* Check that the telephone cable goes from the wall socket to the modem's LINE socket.\n"
     "* Plug a telephone into the same socket and listen for the dial tone.\n"
     "* Make sure no one else is using the line (an extension picked up, another modem).\n"
     "* Some office switchboards and voice-mail lines give an unusual dial tone: then check \"Blind Dial\" in the "
     "Preferences (Item #13)."},
    {5, "Port in use",
     "The program cannot open the modem's serial device because another program holds it. On Linux this is often "
     "ModemManager, which probes every new modem, or a terminal program (minicom, screen), a fax or getty service "
     "(mgetty, efax), or a second Tolmera.\n"
     "* \"Help - Configuration Information\" lists the programs that hold a serial device open.\n"
     "* In a terminal, \"fuser -v /dev/ttyUSB0\" (with your modem's device) shows them too.\n"
     "* To keep ModemManager away from the modem, stop it (\"systemctl stop ModemManager\") or mark the device with "
     "the udev property ID_MM_DEVICE_IGNORE.\n"
     "If the message says that access is denied instead, your user is not allowed to use the device: add it to the "
     "dialout group (\"sudo adduser $USER dialout\") and log in again."},
    {6, "Damaged file",
     "A file the program needed ended too early: it is damaged. If it is a fax you are sending, create the fax "
     "again. If it is a received fax, ask the sender to send it again. If it happens with the fax lists, use "
     "\"File - Rebuild Indexes\"."},
    {7, "Memory conflict",
     "The program tried to use memory that did not belong to it. This comes from a conflict with another program "
     "or a damaged program file. Close other programs and start Tolmera again; if it happens again, install the "
     "program again into the same folder (your faxes and settings are kept) and report what you did to technical "
     "support."},
    {8, "Default printer",
     "No default printer is set up on this computer. Printing goes through the system's printing service (CUPS).\n"
     "* Add a printer in your desktop's printer settings, or at http://localhost:631 in a web browser.\n"
     "* Make it the default printer there, or with the command \"lpoptions -d PRINTERNAME\".\n"
     "Printing to a PDF file is always offered in the print dialog, even without a printer."},
    {10, "Error opening fax file",
     "The received fax file is damaged or incomplete, for example because the call was broken off while it was "
     "being received. Ask the sender to send the fax again. The file is in the folder \"receive\" of the data "
     "folder; a file that is missing there cannot be shown either."},
    {20, "Other error messages",
     "The remaining error messages fall into a few groups:\n"
     "# Messages about the port or the modem\n"
     "\"Unable to open the specified communications port\", \"Modem initialization failed\", \"Modem did not "
     "respond\": the port is wrong, the device does not exist, or your user may not use it. Use \"Find Modem Port\" "
     "in the Preferences and read the help topic on finding the modem's device.\n"
     "# Messages about the call\n"
     "\"Busy\", \"Voice answer\", \"Data call\", \"Training failed\", \"Incompatible fax\": the other end was busy, "
     "was not a fax machine, or the two machines could not agree on a speed. Try again later, and try a lower "
     "transfer rate (Item #5).\n"
     "# Messages about files\n"
     "\"Not an APF file\", \"Error opening fax file\": a fax file is damaged; create it again.\n"
     "For any message not listed here, note its exact text and number, and see \"How do I get Technical Support?\"."},
    {21, "Various sending problems",
     "If an error message is shown, look up its topic under \"Error Messages\" first. Otherwise most sending "
     "problems come from the configuration; check the settings below one by one."},
    {22, "Fails after the first page",
     "First check the configuration (see \"General Recommendations for Fax SENDING Problems\"), especially the "
     "transfer rate: try 9600 or 7200.\n"
     "With US Robotics/3COM modems, check \"Renegotiate Between Pages when SENDING\" in the Preferences "
     "(Item #12). The line is then negotiated again before every page; this takes 2 to 3 seconds more per page but "
     "lets these modems send multi-page faxes."},
    {24, "Only certain machines",
     "When some fax machines work and others do not, the cause is the configuration or a machine at the other end "
     "that does not get along with your modem.\n"
     "* Lower the transfer rate to 9600 or 7200 (Item #5).\n"
     "* Switch off Fax Error Control (Item #8).\n"
     "* Make your fax number all digits (Item #7); older machines refuse other characters.\n"
     "* Try another fax class (Item #4)."},
    {25, "Only the first fax",
     "This is a configuration matter: the modem is not left in a state in which it accepts the next call. Enter "
     "a modem reset string such as \"ATZ\" (Item #3) so that the modem is reset before each fax, and check the "
     "fax class and initialization string."},
    {26, "Stopped working",
     "If nothing in the program's settings changed, something outside the program did: a new telephone line "
     "service (voice mail, call waiting, a new switchboard), a new or moved modem (its device name may have "
     "changed, for example from /dev/ttyUSB0 to /dev/ttyUSB1), a system update that installed ModemManager, or a "
     "user no longer in the dialout group. \"Help - Configuration Information\" shows the serial devices and which "
     "COM number points at which device."},
    {27, "Hangs up too early",
     "The other side answers slowly, and the modem gives up before the fax connection is made. The modem's wait "
     "for a connection is set with the S7 register in the initialization string (Item #6):\n"
     "* Add S7=90 to the initialization string, for example \"ATS7=90\".\n"
     "* If that is not enough, try S7=120, then S7=150 or S7=255."},
    {28, "International faxes",
     "International calls take longer to connect, and the modem may give up before the other fax answers. Raise "
     "the modem's wait for a connection with the S7 register in the initialization string (Item #6): S7=90 first, "
     "then S7=120, then S7=150 or S7=255."},
    {29, "Does not dial",
     "The program dials only when the modem hears a dial tone, unless \"Blind Dial\" is checked (Item #13).\n"
     "* Check the telephone cable and listen for a dial tone with a telephone on the same socket.\n"
     "* If your line has an unusual dial tone (office switchboard, voice mail with a stutter tone), check "
     "\"Blind Dial\".\n"
     "* Check the dial prefix (for example \"9,\" for an outside line) in the Preferences."},
    {41, "Does not answer",
     "Check that the call reaches the modem at all, and that the program is in receive mode: press Receive in the "
     "main window (the button then reads STOP).\n"
     "* Plug a telephone into the modem's PHONE socket (or the same line) and check that it rings.\n"
     "* The modem answers after the number of rings set in \"Answer On Ring\" (Item #18). If an answering machine "
     "or voice mail takes the call first, use fewer rings.\n"
     "* A receive initialization string that does not suit the modem can stop it from answering (Item #17)."},
    {44, "Distorted faxes",
     "Distorted received faxes come from the configuration in nearly all cases: lower the receive transfer rate to "
     "9600 (Item #16) and try Fax Class 1 (Item #15). A bad telephone line (see \"Other Factors\") does the same. "
     "Only rarely is the screen driver at fault: print the fax to check."},
    {45, "Only certain machines",
     "When faxes arrive from some machines but not from others, the configuration or a sending machine that does "
     "not get along with your modem is the cause. Lower the receive transfer rate (Item #16), switch off Fax "
     "Error Control for receiving (Item #20) and try Fax Class 1 (Item #15)."},
    {46, "Stopped working",
     "If nothing in the program's settings changed, something outside the program did: a new telephone service "
     "(voice mail or a fax switch that answers first), a new or moved modem whose device name changed, a system "
     "update that installed ModemManager, or another program that now opens the modem. \"Help - Configuration "
     "Information\" shows the serial devices and the programs that hold them."},
    {47, "Lines cut in half",
     "Half lines come from the configuration: lower the receive transfer rate to 9600 or 7200 (Item #16) and "
     "try Fax Class 1 (Item #15)."},
    {48, "Blank pages",
     "Blank pages after the first come from a transfer rate the line cannot carry. Set the receive transfer rate "
     "to 9600 (Item #16)."},
    {49, "Hangs up while receiving",
     "The call is answered but the fax is broken off. This is a configuration matter: lower the receive transfer "
     "rate (Item #16), try Fax Class 1 (Item #15), remove the receive initialization string (Item #17) and "
     "switch off Fax Error Control for receiving (Item #20)."},
    {50, "Compressed print",
     "A fax printed on half a page was received at normal resolution (about 100 lines per inch) and printed "
     "without stretching. Check the paper size and scaling in the printer's settings (print dialog - Properties) "
     "and choose the printer's own paper size rather than \"fit to page\"."},
    {82, "Quality",
     "The program sends at 200 by 200 dots per inch (fine resolution), the best that nearly all fax machines "
     "accept. Use clear fonts of at least 10 points and avoid light grey. The quality of a received fax depends "
     "on the sender: their machine chooses the resolution and scans the paper."},
    {83, "Calling card",
     "Put the access number and your calling card number into the dial prefix in the Preferences, with commas "
     "for pauses (each comma waits about two seconds), for example \"18005551234,,,,123456789,,\". At home, check "
     "\"Disable Prefix\" in the send window so that the prefix is left out."},
    {85, "Edit received faxes",
     "A received fax is a picture of the pages, not text. To change its words you need character recognition "
     "(OCR) software, for example tesseract: export the page as a bitmap from the fax viewer and open it there."},
    {86, "Different folders",
     "The folders are fixed: received faxes are kept in the folder \"receive\" of the data folder. To keep a copy "
     "elsewhere, export the pages from the fax viewer. To move everything, set TOLMERA_HOME to another data folder "
     "before starting the program."},
    {90, "Legal or A4",
     "Every fax is made to fit both US Letter and A4 paper, so it prints on either. Legal size pages are not "
     "supported; a long document simply continues on the next page."},
    {103, "Files lost after upgrade",
     "The upgrade was installed into another folder, or started with another data folder. Your files are still in "
     "the old data folder: start the program with TOLMERA_HOME set to that folder, or copy TLM.INI, the TLM*.DBF, "
     "*.CDX and *.FPT files and the receive folder into the new one."},
    {104, "How often",
     "Upgrade only when you need a new feature or a correction of a problem you have. If faxing works for you, "
     "there is no need to upgrade."},
    {105, "Upgrade and files",
     "Your data files (faxes, phone book, cover sheets, settings) stay untouched when the upgrade uses the same "
     "data folder. It is still wise to copy the data folder before upgrading."},
    {131, "ISDN or cable modem",
     "No. The program needs an analogue fax modem (Class 1, 2 or 2.0) on a serial port. ISDN and cable modems "
     "do not send faxes in this way."},
    {132, "Network",
     "No. The program works on one computer with its own fax modem; its files cannot be shared by several "
     "copies at once."},
    {133, "Receive manually",
     "No, receive mode answers every call by itself. If you share the line with a telephone, set \"Answer On "
     "Ring\" to a higher number so that you can pick up voice calls first, and start receive mode only when you "
     "expect a fax."},
    {134, "Send manually", "No. The program dials the number itself; it cannot take over a call you started."},
    {135, "Computer off or program not running",
     "No. Faxes are received only while the computer is running and the program is in receive mode. Check \"Start "
     "Receiving at program startup\" in the Preferences (Item #19) so that receive mode starts with the program."},
    {136, "Broadcast",
     "No. Each fax goes to one number. To send the same fax to several people, clone it (File - Clone Fax) and "
     "change the recipient."},
    {137, "Faxback",
     "No. A fax-back service needs a voice modem and menu software; the program only sends and receives faxes. "
     "A fax machine's polling feature is not supported either."},
    {138, "Distinctive ring",
     "No. Use a distinctive ring switch box between the wall socket and the modem: it passes only the fax ring "
     "pattern to the modem."},
    {139, "Background",
     "Yes. In receive mode the program answers calls while you work in other programs. Very heavy work in the "
     "background (large downloads, backups, video) can still delay the program enough to break a fax; avoid it "
     "while a fax is arriving."},
    {140, "Batch", "No. The program sends one fax at a time, from the send window."},
    {141, "Scheduling", "No. Faxes are sent when you press Send."},
    {142, "Voice and fax",
     "The program answers every call in receive mode, voice calls too. On a shared line, start receive mode only "
     "when you expect a fax, or use a fax switch box that passes fax calls to the modem."},
    {143, "Other programs and scanners",
     "Not with this program: it sends faxes that you write in its own fax editor, and it cannot print from other "
     "programs or scan. Our sibling product Brevon installs as a printer, so that any program's document can be "
     "faxed, and takes scanned pages."},
    {200, "Sending recommendations",
     "Most problems with sending faxes are solved by the configuration. Work through the points below, trying a "
     "test fax after each change."},
    {201, "Receiving recommendations",
     "Most problems with receiving faxes are solved by the configuration. Work through the points below, trying a "
     "test fax after each change."},
};

// The generic container: configuration advice and the other factors.
constexpr StoredText kGeneric[] = {
    {0, "Sending configuration",
     "* Verify the communications port with \"Find Modem Port\" (Item #1). COM1 to COM4 stand for /dev/ttyS0 to "
     "/dev/ttyS3, COM5 to COM8 for /dev/ttyACM0 to /dev/ttyACM3, COM9 to COM12 for /dev/ttyUSB0 to /dev/ttyUSB3; "
     "the section [Ports] of TLM.INI can point a COM number at any other device.\n"
     "* Fax class (Item #4): use \"Check Fax Class\"; Class 1 is recommended.\n"
     "* Transfer rate (Item #5): 9600 is recommended; try 7200 or 4800 on a poor line.\n"
     "* Initialization string (Item #6): normally blank. If your modem needs one, \"Help with Init Strings\" builds "
     "it. To give slow fax machines more time to answer, add S7=90 (or S7=120)."},
    {1, "Receiving configuration",
     "* Verify the communications port with \"Find Modem Port\" (Item #1).\n"
     "* Fax class for receiving (Item #15): use \"Check Fax Class\"; Class 1 is recommended.\n"
     "* Transfer rate for receiving (Item #16): 9600 is recommended.\n"
     "* Initialization string for receiving (Item #17): normally blank; \"Help With Init Strings\" builds one.\n"
     "* Answer On Ring (Item #18): 1, 2 or 3 rings."},
    {2, "Other factors",
     "# Other Factors Which Can Cause Faxing Problems\n"
     "* Line noise: a crackling line breaks faxes. Listen to the line with a telephone; try another socket or ask "
     "the telephone company to check the line.\n"
     "* Other devices on the line: answering machines, extension phones, alarm systems, DSL filters that are "
     "missing or faulty. Unplug them for a test.\n"
     "* Programs running in the background: heavy work (large downloads, backups, virus scans) can delay the "
     "program at the wrong moment. Other programs that open the modem's serial device (ModemManager, terminal "
     "programs, getty services) disturb the fax; \"Help - Configuration Information\" lists them."},
};

constexpr const char* kSupport =
    "# How do I get Technical Support?\n"
    "Before you ask for help, please look through the topics of this Problem Solver, especially \"Analysis of Your "
    "Current Configuration\".\n"
    "When you report a problem, please include:\n"
    "* The exact text of the error message, if there was one.\n"
    "* What you did before the problem appeared, and whether it happens every time.\n"
    "* The configuration report: open \"Help - Configuration Information\", press \"Copy to Clipboard\" and paste "
    "it into your message. It lists your settings, your system and the serial devices, but no faxes.\n"
    "* The version shown in \"Help - About\".\n"
    "The help pages (\"Help - Contents\" and \"Help - Technical Support\") say where to send your report.";

TopicContainer Build(const StoredText* begin, const StoredText* end, bool titled) {
  TopicContainer container;
  for (const StoredText* t = begin; t != end; ++t) {
    container.Add({ComposeStoredText(t->lines, titled), t->name, std::to_string(t->key)});
  }
  return container;
}

}  // namespace

std::string TopicContainer::Lookup(int number) const {
  const std::string key = std::to_string(number);
  for (const Entry& entry : entries_) {
    if (entry.key == key) return entry.rtf;
  }
  return {};
}

std::string ComposeStoredText(const std::string& lines, bool titled) {
  std::string doc = titled ? TitledDocument() : EmptyDocument();
  std::istringstream in(lines);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("# ", 0) == 0) {
      AppendPiece(doc, HeaderTemplate(), line.substr(2));
    } else if (line.rfind("* ", 0) == 0) {
      AppendPiece(doc, BulletTemplate(), line.substr(2));
    } else {
      AppendPiece(doc, PlainTemplate(), line);
    }
  }
  return doc;
}

const TopicContainer& StoredAnswers() {
  static const TopicContainer answers = Build(std::begin(kAnswers), std::end(kAnswers), true);
  return answers;
}

const TopicContainer& GenericAnswers() {
  static const TopicContainer generic = Build(std::begin(kGeneric), std::end(kGeneric), false);
  return generic;
}

const std::string& TechnicalSupportDocument() {
  static const std::string doc = ComposeStoredText(kSupport, false);
  return doc;
}

std::string ComposeAnswer(int id, const std::string& title, const std::string& analysisDocument) {
  if (id == kAnalysisTopic) return analysisDocument;
  if (id == kSupportTopic) return TechnicalSupportDocument();
  if (id < 0) return {};
  const std::string escapedTitle = RtfEscape(title);
  const std::optional<GenericAnswer> generic = GenericAnswerFor(id);
  if (!generic) return ReplaceToken(StoredAnswers().Lookup(id), kTitleToken, escapedTitle);

  std::string doc = ReplaceToken(StoredAnswers().Lookup(generic->entry), kTitleToken, escapedTitle);
  if (doc.empty()) doc = EmptyDocument();
  if (generic->checkOtherEnd) {
    AppendPiece(doc, PlainTemplate(), "First, ensure there is a faxmodem or fax machine at the other end");
    AppendPiece(doc, BulletTemplate(), "Verify that the fax number you are calling is correct.");
    AppendPiece(doc, BulletTemplate(),
                "Make a voice call to the receiving fax to verify that you can hear an answering fax tone.");
  }
  if (generic->sendingConfiguration) {
    AppendPiece(doc, HeaderTemplate(), "Configuration for Fax Sending");
    AppendBody(doc, GenericAnswers().Lookup(0));
  }
  if (generic->receivingConfiguration) {
    AppendPiece(doc, HeaderTemplate(), "Configuration for Fax Receiving");
    AppendBody(doc, GenericAnswers().Lookup(1));
  }
  AppendBody(doc, GenericAnswers().Lookup(2));
  return doc;
}

}  // namespace tlm::troubleshooter
