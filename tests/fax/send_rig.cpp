#include "fax/send_rig.h"

#include "faximage/apf_writer.h"
#include "faximage/t4_encoder.h"

namespace tlm::testing {

faxsim::Bitmap PatternPage(int seed, int height, bool fine, bool wide) {
  faxsim::Bitmap b;
  b.resize(wide ? 2048 : 1728, height);
  b.fine = fine;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < b.width; ++x) {
      const bool border = x < 4 || x >= b.width - 4 || y < 2 || y >= height - 2;
      const bool stripe = ((x / (8 + seed)) + (y / (6 + seed))) % 3 == 0;
      const bool block = (x / 64 + y / 32 + seed) % 5 == 0 && (x % 64) < 40;
      if (border || stripe || block) b.set(x, y);
    }
    // Bytes of 0x10 in the raster give 0x10 bytes in the code too.
    b.bits[std::size_t(y) * std::size_t(b.stride()) + 100] = 0x10;
  }
  return b;
}

void WriteApf(const std::string& path, const std::vector<faxsim::Bitmap>& pages) {
  ApfWriter writer;
  writer.Create(path);
  for (const faxsim::Bitmap& page : pages) {
    writer.BeginPage(std::uint16_t((page.fine ? kApfFine : 0) | (page.width == 2048 ? kApfWide : 0) | kApfLengthWords));
    std::uint8_t record[kT4MaxLineRecord];
    T4LineGeometry geometry;
    geometry.width = page.width;
    for (int y = 0; y < page.height; ++y) {
      const std::size_t n =
          T4EncodeLine(page.bits.data() + std::size_t(y) * std::size_t(page.stride()), std::size_t(page.stride()), geometry, record);
      writer.WriteRecord(record, n);
    }
    writer.WriteRecord(kT4EndOfPageRecord.data(), kT4EndOfPageRecord.size());
    writer.EndPage();
  }
  writer.Finish("TEST");
}

SendRig::SendRig(const std::string& modemOptions, std::vector<std::string> extra, double accel) {
  std::vector<std::string> args = {"--modem", dir_.File("modem") + "=100" + modemOptions, "--speed", "accelerated",
                                   "--accel", std::to_string(accel)};
  // "NUMBER:RX" in a remote's arguments names the rig's receive folder.
  std::filesystem::create_directories(dir_.File("rx"));
  for (std::string& a : extra)
    if (const auto at = a.find(":RX"); at != std::string::npos) a.replace(at, 3, ":" + dir_.File("rx"));
  args.insert(args.end(), extra.begin(), extra.end());
  sim_ = std::make_unique<faxsim::testing::FaxsimProcess>(dir_.Folder(), args);
  port_.SetMainThreadBridge(&bridge_);
  port_.SetPromptForPort(false);
  port_.SetDeviceName(dir_.File("modem"));
  fax_.SetComPort(&port_);
  log_.FaxHistoryName = dir_.File("KOVAFAX.HIS");
  fax_.FaxLog = &log_;
  fax_.DialWait = 60;
  fax_.DialRetryWait = 1;
}

SendRig::~SendRig() {
  try {
    port_.SetOpen(false);
  } catch (const std::exception&) {
  }
  if (sim_) sim_->stop();
}

SendOutcome SendRig::Send(int seconds, std::function<void(int)> onStatus) {
  SendOutcome out;
  bool finished = false;
  fax_.OnFaxStatus = [&](TKvCustomAbstractFax& f, bool, bool) {
    const int s = f.FaxStatus();
    if (out.statuses.empty() || out.statuses.back() != s) {
      out.statuses.push_back(s);
      if (onStatus) onStatus(s);
    }
  };
  fax_.OnFaxError = [&](TKvCustomAbstractFax&, int e) { out.errors.push_back(e); };
  fax_.OnFaxLog = [&](TKvCustomAbstractFax&, TFaxLogCode c) { out.logs.push_back(c); };
  fax_.OnFaxFinish = [&](TKvCustomAbstractFax& f, int e) {
    out.result = e;
    out.remoteId = f.RemoteID();
    finished = true;
  };
  if (!port_.Open()) port_.SetOpen(true);
  fax_.StartTransmit();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!finished && std::chrono::steady_clock::now() < deadline) bridge_.Pump(100, [&] { return finished; });
  if (!finished) {
    fax_.CancelFax();
    while (!finished) bridge_.Pump(100, [&] { return finished; });
    out.result = 999999;  // did not finish in time
  }
  return out;
}

std::vector<faxsim::Bitmap> SendRig::Received(const std::string& number, int call, int pages) {
  std::vector<faxsim::Bitmap> out;
  for (int p = 1; p <= pages; ++p) {
    faxsim::Bitmap b;
    if (!faxsim::readPbm(dir_.File("rx/rx-" + number + "-" + std::to_string(call) + "-p" + std::to_string(p) + ".pbm"), b)
             .empty())
      break;
    out.push_back(b);
  }
  return out;
}

std::string SendRig::History() const { return ReadText(dir_.File("KOVAFAX.HIS")); }

}  // namespace tlm::testing
