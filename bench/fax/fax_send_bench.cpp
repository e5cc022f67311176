// Wall time of a Class 1 send of ITU chart 1 and of the text fixture page
// (fine, 14400 bit/s) over faxline, 1 and 5 pages, in MH, MR and MMR with
// error correction, from the answer to the hang-up, against the T.30
// minimum of MH for the same pages: CED, the V.21 frames at 300 bit/s with
// their 1 s preambles, 1.5 s of training, the page bits at the line rate
// and the 75 ms gaps.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>
#include <utility>

#include "fax/send_rig.h"
#include "faxsim/faxsim_runner.h"

namespace tlm::testing {
namespace {

constexpr int kBps = 14400;
constexpr double kCed = 2.6, kPreamble = 1.0, kTraining = 1.5, kGap = 0.075, kV21 = 300.0;

// One V.21 message: preamble, then the frames' bytes with address,
// control, FCS and a closing flag each.
double Message(std::initializer_list<int> infoBytes) {
  double bits = 0;
  for (int info : infoBytes) bits += (2 + 1 + info + 2 + 1) * 8;
  return kPreamble + bits / kV21 + kGap;
}

double Minimum(long pageBytes, int pages) {
  double t = kCed + kGap;
  t += Message({20, 4});  // CSI, DIS
  t += Message({20, 4});  // TSI, DCS
  t += kTraining + kGap;  // TCF
  t += Message({0});      // CFR
  for (int p = 0; p < pages; ++p) {
    t += double(pageBytes) * 8 / kBps + kGap;
    t += Message({0}) + Message({0});  // MPS/EOP, MCF
  }
  t += Message({0});  // DCN
  return t;
}

double EventTime(const std::string& file, const std::string& type) {
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);)
    if (line.rfind("EVENT " + type + " ", 0) == 0) return std::stod(faxsim::testing::field(line, "t"));
  return -1;
}

struct Coding {
  const char* name;
  T4Coding coding;
  bool ecm;
  const char* remote;  // the receiving machine's options
};
constexpr Coding kCodings[] = {
    {"MH", T4Coding::MH, false, ":ecm=0"},
    {"MR", T4Coding::MR, false, ":ecm=0"},
    {"MMR+ECM", T4Coding::MMR, true, ":ecm=1:compression=mh,mr,mmr"},
};

int Run(const char* pageName, const std::string& pbm, int pages, const Coding& coding) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("in"));
  const std::string events = dir.File("events");
  const int pid = faxsim::testing::spawn("exec " FAXLINE_BINARY " --modem " + dir.File("modem") + "=100 --receiver '555:" +
                                         dir.File("in") + coding.remote + "' > " + events);
  for (int i = 0; i < 300 && EventTime(events, "started") < 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  faxsim::Bitmap chart;
  faxsim::readPbm(pbm, chart);
  chart.fine = true;
  WriteApf(dir.File("chart.apf"), std::vector<faxsim::Bitmap>(std::size_t(pages), chart));
  ApfPageHeader header;
  std::uint64_t offset = 0;
  ApfLocatePage(dir.File("chart.apf"), 1, header, offset);
  const long pageBytes = long(header.imageLength) - 2L * (chart.height + 1) + 8 * 6;

  PumpedBridge bridge;
  TKvComPort port;
  port.SetMainThreadBridge(&bridge);
  port.SetDeviceName(dir.File("modem"));
  TKvSendFax fax;
  fax.SetComPort(&port);
  fax.SetFaxClass(fcClass1);
  fax.DesiredBPS = kBps;
  fax.DesiredCoding = coding.coding;
  fax.DesiredECM = coding.ecm;
  fax.PhoneNumber = "555";
  fax.SetFaxFile(dir.File("chart.apf"));
  bool finished = false;
  int result = 1;
  std::chrono::steady_clock::time_point dialed;
  fax.OnFaxStatus = [&](TKvCustomAbstractFax& f, bool, bool) {
    if (f.FaxStatus() == fax_status::kDialing) dialed = std::chrono::steady_clock::now();
  };
  fax.OnFaxFinish = [&](TKvCustomAbstractFax&, int e) {
    result = e;
    finished = true;
  };
  port.SetOpen(true);
  fax.StartTransmit();
  while (!finished) bridge.Pump(100, [&] { return finished; });
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - dialed).count();
  port.SetOpen(false);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const double answered = EventTime(events, "answered"), hangup = EventTime(events, "hangup");
  ::kill(pid, SIGTERM);
  faxsim::testing::waitPid(pid, 15);
  const double line = hangup - answered;
  const double minimum = Minimum(pageBytes, pages);
  std::printf("%s, %d page(s), %s: result %d, dial to finish %.1f s, answer to hang-up %.1f s, T.30 minimum of MH "
              "%.1f s, ratio %.3f\n",
              pageName, pages, coding.name, result, wall, line, minimum, line / minimum);
  std::fflush(stdout);
  return result == 0 ? 0 : 1;
}

}  // namespace
}  // namespace tlm::testing

int main() {
  using namespace tlm::testing;
  int rc = 0;
  const std::pair<const char*, std::string> pages[] = {
      {"ITU chart 1", TOLMERA_BUILT_FIXTURES_DIR "/itu/itu1.pbm"},
      {"text page", TOLMERA_FIXTURES_DIR "/images/text-page.pbm"},
  };
  for (const auto& [name, pbm] : pages) {
    for (const int count : {1, 5}) {
      for (const Coding& coding : kCodings) rc |= Run(name, pbm, count, coding);
    }
  }
  return rc;
}
