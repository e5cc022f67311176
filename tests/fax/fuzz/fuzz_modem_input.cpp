// What the modem says to a fax session: result lines, the class and speed
// lists, Class 2/2.0 responses and their parameters, HDLC frames as a
// Class 1 modem delivers them and the DIS/DCS fields inside. The first
// byte chooses the parser; the rest is the input. Besides not crashing,
// each parser's results must stay within their ranges, and a frame built
// by the session must come back whole from the collector.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fax/class2.h"
#include "fax/modem_setup.h"
#include "fax/t30_frames.h"

namespace {

using namespace tlm;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void ResultAndLists(std::string_view in) {
  (void)ClassifyResult(in);
  if (IsClassList(in)) (void)ResolveDetectedClass(ParseClassList(in));
  const auto half = in.size() / 2;
  const bool listed = t30::IsModulationList(in);
  for (const int desired : {2400, 9600, 14400}) {
    const t30::SpeedMask speeds = t30::LocalSpeeds(in.substr(0, half), in.substr(half), desired);
    Check((speeds & 0x81) == 0);  // indexes 1..6 only
    Check(speeds == 0 || t30::BestSpeed(speeds, 0x7E) <= t30::SpeedIndexOfBps(desired));
  }
  if (listed) (void)t30::ParseModulationList(in);
}

void Class2Responses(std::string_view in) {
  static const char* const kNames[] = {"CON", "DIS", "DCS", "TSI", "CSI", "PTS", "CO", "IS", "CS", "TI", "CI", "PS", "ET"};
  for (const TFaxClass c : {fcClass2, fcClass2_0}) {
    const class2::CommandTable& table = class2::TableFor(c);
    std::string rest;
    if (class2::MatchHangup(in, table, &rest)) Check(class2::ParseHangupCode(rest) >= 0 && class2::ParseHangupCode(rest) <= 999);
  }
  for (const char* name : kNames) {
    std::string rest;
    if (!class2::MatchResponse(in, name, &rest)) continue;
    Check(rest.size() <= in.size());
    const class2::Parameters p = class2::ParseParameters(rest);
    Check(p.bps >= 2400 && p.bps <= 14400 && p.scanCode >= 0 && p.scanCode <= 7);
    Check(class2::ParseStationId(rest).size() <= 20);
  }
  const class2::Parameters p = class2::ParseParameters(in);
  Check(class2::ParseParameters(std::string("0,") + class2::BitRateCode(p.bps)).bps == p.bps);
}

void Fields(std::string_view info) {
  const t30::RemoteCapabilities caps = t30::DecodeDis(info);
  Check((caps.speeds & 0x81) == 0 && (caps.speeds & 0x06) == 0x06);
  Check(caps.scanCode >= 0 && caps.scanCode <= 7);
  const t30::SessionParameters dcs = t30::DecodeDcs(info);
  Check(dcs.speedIndex >= t30::kMinSpeedIndex && dcs.speedIndex <= t30::kMaxSpeedIndex);
  (void)t30::ModulationFor(dcs);
  // What this station would send for those parameters reads back the same.
  const t30::SessionParameters again = t30::DecodeDcs(t30::EncodeDcs(dcs.speedIndex, dcs.fine, dcs.wide, caps.scanCode));
  Check(again.speedIndex == dcs.speedIndex && again.fine == dcs.fine && again.wide == dcs.wide);
  Check(t30::DecodeStationId(info).size() <= info.size());
}

void Frames(std::string_view in) {
  if (in.empty()) return;
  const std::size_t batch = 1 + static_cast<std::uint8_t>(in[0]) % 16;
  in.remove_prefix(1);
  t30::FrameCollector collector;
  std::size_t pos = 0;
  while (pos < in.size()) {
    const std::string_view part = in.substr(pos, batch);
    const std::size_t used = collector.Feed(part);
    Check(used <= part.size());
    pos += used;
    if (collector.Complete()) {
      if (const auto frame = collector.Take()) {
        Check(frame->info.size() <= 1024);
        Fields(frame->info);
      }
      collector.Reset();
    } else {
      Check(used == part.size());
    }
  }
  // A frame as the session writes it is collected back unchanged.
  const std::string info(in.substr(0, 64));
  const std::string built = t30::BuildHdlcFrame(t30::kDCS, info, true);
  t30::FrameCollector back;
  Check(back.Feed(built) == built.size() && back.Complete());
  const auto frame = back.Take();
  Check(frame && frame->fcf == t30::kDCS && frame->Final());
  // A trailing pair that happens to be a valid FCS is taken for one.
  Check(frame->info == info || (info.size() >= 2 && frame->info == info.substr(0, info.size() - 2)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view in(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 4) {
    case 0: ResultAndLists(in); break;
    case 1: Class2Responses(in); break;
    case 2: Frames(in); break;
    default: Fields(in); break;
  }
  return 0;
}
