// Wall time of the same 2-page call made by `tlmfax send` (Class 1, MH, no
// error correction, 14400 bit/s) and by efax, each over its own faxline with
// the same spandsp receiver, in one run: answer to hang-up as faxline's
// events time it, and the ratio ours / efax's. Both send ITU chart 1 at fine
// resolution twice, from the same pixels (efix makes the G3 TIFF both read).
// Run by hand; faxline's event logs are kept when KEEP_LOGS is set.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "faxsim/faxsim_runner.h"

namespace {

namespace fs = std::filesystem;
using faxsim::testing::field;
using faxsim::testing::run;
using faxsim::testing::spawn;
using faxsim::testing::waitPid;

double EventTime(const std::string& file, const std::string& type) {
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);)
    if (line.rfind("EVENT " + type + " ", 0) == 0) return std::stod(field(line, "t"));
  return -1;
}

bool HasEvent(const std::string& file, const std::string& prefix) {
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);)
    if (line.rfind(prefix, 0) == 0) return true;
  return false;
}

// One call: a faxline with a receiver on 555, then `sender` (which dials
// 555 on the modem at `dir`/modem). Returns answer to hang-up, or -1.
double Call(const fs::path& dir, const std::string& name, const std::string& sender) {
  fs::create_directories(dir / "rx");
  const std::string events = (dir / "events").string();
  const int line = spawn("exec " FAXLINE_BINARY " --modem " + (dir / "modem").string() + "=100 --receiver '555:" +
                         (dir / "rx").string() + ":ecm=0:ident=FAXLINE 555' --exit-after-calls 1 --duration 200 > " +
                         events + " 2> " + (dir / "stderr").string());
  for (int i = 0; i < 300 && EventTime(events, "started") < 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const int rc = run(sender + " > " + (dir / (name + ".log")).string() + " 2>&1", 190);
  for (int i = 0; i < 50 && EventTime(events, "hangup") < 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ::kill(line, SIGTERM);
  waitPid(line, 15);
  const double answered = EventTime(events, "answered"), hangup = EventTime(events, "hangup");
  const bool twoPages = HasEvent(events, "EVENT phase_e") && [&] {
    std::ifstream in(events);
    for (std::string l; std::getline(in, l);)
      if (l.rfind("EVENT phase_e ", 0) == 0) return field(l, "status") == "0" && field(l, "pages") == "2";
    return false;
  }();
  if (rc != 0 || !twoPages || answered < 0 || hangup < 0) {
    std::printf("%s: the call failed (exit %d, see %s)\n", name.c_str(), rc, dir.c_str());
    return -1;
  }
  return hangup - answered;
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / ("efax_compare_bench." + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string page = (dir / "page.tif").string(), doc = (dir / "doc.tif").string();
  if (run("efix -i pbm -o tiffg3 -r 204x196 " TOLMERA_BUILT_FIXTURES_DIR "/itu/itu1.pbm > " + page +
          " 2>/dev/null && tiffcp " + page + " " + page + " " + doc) != 0) {
    std::printf("efix and tiffcp (efax, libtiff-tools) are needed\n");
    return 1;
  }
  const double ours = Call(dir / "tlmfax", "tlmfax",
                           TLMFAX_BINARY " send --port " + (dir / "tlmfax" / "modem").string() +
                               " --class 1 --bps 14400 --coding mh --no-ecm --fine 555 " + doc);
  const double theirs =
      Call(dir / "efax", "efax", "efax -o1 -v ewinchrt -d " + (dir / "efax" / "modem").string() + " -t 555 " + page +
                                     " " + page);
  std::printf("ITU chart 1, 2 fine pages, MH, 14400 bit/s, answer to hang-up: tlmfax %.1f s, efax %.1f s, ratio %.3f\n",
              ours, theirs, ours > 0 && theirs > 0 ? ours / theirs : 0.0);
  if (!std::getenv("KEEP_LOGS")) fs::remove_all(dir);
  else std::printf("logs in %s\n", dir.c_str());
  return ours > 0 && theirs > 0 ? 0 : 1;
}
