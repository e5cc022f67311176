#include "receive_rig.h"

#include <algorithm>
#include <chrono>

namespace tlm::testing {

ReceiveRig::ReceiveRig() {
  port.SetMainThreadBridge(&bridge);
  fax.SetComPort(&port);
  fax.DestinationDir = dir.Folder();
  fax.OneFax = true;
  fax.OnFaxLog = [this](TKvCustomAbstractFax& f, TFaxLogCode code) {
    logs.push_back(code);
    if (code == lfaxReceiveOk) files.push_back(f.FaxFile());
  };
  fax.OnFaxStatus = [this](TKvCustomAbstractFax& f, bool, bool last) {
    statuses.push_back(f.FaxStatus());
    if (last) ++lastStatuses;
  };
  fax.OnFaxError = [this](TKvCustomAbstractFax&, int error) { errors.push_back(error); };
  fax.OnFaxFinish = [this](TKvCustomAbstractFax&, int error) { finish = error; };
}

ReceiveRig::~ReceiveRig() {
  fax.CancelFax();
  Pump(3, [&] { return !fax.InProgress(); });
  port.SetOpen(false);
  bridge.Pump(50);
}

int ReceiveRig::Run(const std::string& modem, double seconds) {
  port.SetDeviceName(modem);
  const int rc = fax.StartReceive();
  if (rc != 0) return rc;
  Pump(seconds, [&] { return finish != INT_MIN; });
  return 0;
}

void ReceiveRig::Pump(double seconds, const std::function<bool()>& until) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(long(seconds * 1000));
  while (!until() && std::chrono::steady_clock::now() < end) bridge.Pump(20, until);
}

bool ReceiveRig::Logged(int code) const { return std::find(logs.begin(), logs.end(), code) != logs.end(); }

std::vector<faxsim::Bitmap> ReadPages(const std::string& apf) {
  std::vector<faxsim::Bitmap> pages;
  if (!faxsim::readApf(apf, pages).empty()) pages.clear();
  return pages;
}

faxsim::Bitmap TestPage(int number, int rows, int width) {
  faxsim::Bitmap sample = faxsim::samplePage(number);
  faxsim::Bitmap b;
  b.resize(width, rows);
  b.fine = rows > 1300;
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < width; ++x) {
      if (x < sample.width && y < std::min(sample.height, 300) && sample.pixel(x, y)) b.set(x, y);
    }
  }
  // A mark of the page's number, so pages cannot be mistaken for each other.
  for (int y = 20; y < 60; ++y) {
    for (int x = 100 + number * 50; x < 130 + number * 50; ++x) b.set(x, y);
  }
  return b;
}

}  // namespace tlm::testing
