#include "send_line.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/profile_file.h"
#include "richtext/rtf/rtf_writer.h"
#include "storage/log_tables.h"
#include "storage/xb_components.h"

namespace tlm {

namespace fs = std::filesystem;

// Five pages of business text, a hard page break before each heading.
std::string FivePages() {
  rtf::Document doc;
  doc.page = {12240, 15840, 720, 720, 720, 720};
  const std::string sentence =
      "Please find below the quarterly figures for the items we discussed, with delivery dates and prices. ";
  for (int page = 1; page <= 5; ++page) {
    rtf::Paragraph heading;
    heading.format.pageBreakBefore = page > 1;
    rtf::CharFormat bold;
    bold.bold = true;
    bold.halfPoints = 32;
    rtf::AppendText(heading, "Section " + std::to_string(page), bold);
    doc.paragraphs.push_back(heading);
    for (int p = 0; p < 7; ++p) {
      rtf::Paragraph body;
      body.format.spaceAfter = 120;
      std::string text;
      for (int s = 0; s < 6; ++s) text += sentence;
      rtf::CharFormat plain;
      plain.halfPoints = 22;
      rtf::AppendText(body, text, plain);
      doc.paragraphs.push_back(body);
    }
  }
  return rtf::WriteRtf(doc);
}

Line::Line(int accel) {
    folder = (fs::temp_directory_path() / ("tolmera-bench-send-" + std::to_string(::getpid()))).string() + "/";
    fs::create_directories(folder);
    ::setenv("TOLMERA_HOME", folder.c_str(), 1);
    sim = ::fork();
    if (sim == 0) {
      const std::string modem = folder + "modem=100";
      const std::string events = folder + "events.log";
      ::execl(FAXSIM_BINARY, FAXSIM_BINARY, "--modem", modem.c_str(), "--remote-receiver",
              ("5550100:" + folder).c_str(), "--speed", "accelerated", "--accel",
              std::to_string(accel).c_str(), "--events", events.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    for (int i = 0; i < 200 && !fs::exists(folder + "modem"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));

    ProfileFile ini(folder + "TLM.INI");
    ini.WriteString("Ports", "COM1", folder + "modem");
    ini.WriteString("Modem", "ComPort", "0");
    ini.WriteString("Modem", "FaxClass", "2");
    ini.WriteString("Modem", "MaximumBPS", "14400");
    ini.Save();

    TXbTable table;
    TXbEngine engine(table);
    OpenFaxDBF(table, engine, folder);
    table.Append();
    table.SetString("RECIPIENT", "Demo fax machine");
  table.SetString("SUBJECT", "Quarterly figures");
    table.SetString("PHONE", "5550100");
    table.Post();
    std::ofstream(folder + "doc.rtf") << FivePages();
    engine.FileToBlob("RTFDOC", folder + "doc.rtf");
    table.Post();
    fs::remove(folder + "doc.rtf");
}

Line::~Line() {
  if (sim > 0) {
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
  }
  std::error_code ec;
  fs::remove_all(folder, ec);
}


}  // namespace tlm
