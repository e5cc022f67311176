// The remote fax machine's account of its calls: one event after phase B
// (the capabilities agreed), one per page (phase D) and one at the end
// (phase E, with spandsp's completion code).
#include <cmath>

#include "event.h"
#include "remote_fax.h"

namespace faxline {
namespace {

const char* encodingName(int encoding) {
  switch (encoding) {
    case T4_COMPRESSION_ITU_T4_1D:
      return "MH";
    case T4_COMPRESSION_ITU_T4_2D:
      return "MR";
    case T4_COMPRESSION_ITU_T6:
      return "MMR";
    default:
      return "none";
  }
}

// Pixels per metre as the usual dpi figure.
int dpi(int ppm) { return int(std::lround(ppm * 0.0254)); }

std::string text(const char* s) { return s ? std::string(s) : std::string(); }

t30_stats_t statsOf(t30_state_t* t) {
  t30_stats_t st{};
  t30_get_transfer_statistics(t, &st);
  return st;
}

}  // namespace

int RemoteFax::phaseBCallback(t30_state_t*, void* user, int result) {
  static_cast<RemoteFax*>(user)->phaseB(result);
  return T30_ERR_OK;
}

int RemoteFax::phaseDCallback(t30_state_t*, void* user, int result) {
  static_cast<RemoteFax*>(user)->phaseD(result);
  return T30_ERR_OK;
}

void RemoteFax::phaseECallback(t30_state_t*, void* user, int result) { static_cast<RemoteFax*>(user)->phaseE(result); }

void RemoteFax::phaseB(int result) {
  const t30_stats_t st = statsOf(t30());
  Event("phase_b")
      .num("call", callId_)
      .str("fax", number_)
      .str("role", roleName())
      .str("frame", text(t30_frametype(uint8_t(result))))
      .str("remote_ident", text(t30_get_rx_ident(t30())))
      .str("local_ident", opts_.ident)
      .num("bit_rate", st.bit_rate)
      .num("ecm", st.error_correcting_mode ? 1 : 0)
      .emit();
}

void RemoteFax::phaseD(int result) {
  const t30_stats_t st = statsOf(t30());
  pageReports_++;
  Event("page")
      .num("call", callId_)
      .str("fax", number_)
      .str("role", roleName())
      .num("n", pageReports_)
      .str("frame", text(t30_frametype(uint8_t(result))))
      .num("pages_tx", st.pages_tx)
      .num("pages_rx", st.pages_rx)
      .num("bit_rate", st.bit_rate)
      .num("ecm", st.error_correcting_mode ? 1 : 0)
      .str("res", std::to_string(dpi(st.x_resolution)) + "x" + std::to_string(dpi(st.y_resolution)))
      .num("width", st.width)
      .num("length", st.length)
      .num("bad_rows", st.bad_rows)
      .str("encoding", encodingName(st.encoding))
      .emit();
}

void RemoteFax::phaseE(int result) {
  const t30_stats_t st = statsOf(t30());
  const int pages = sending_ && st.pages_tx > 0 ? st.pages_tx : st.pages_rx;
  Event ev("phase_e");
  ev.num("call", callId_)
      .str("fax", number_)
      .str("role", roleName())
      .num("status", result)
      .str("status_text", text(t30_completion_code_to_str(result)))
      .num("pages", pages)
      .num("pages_tx", st.pages_tx)
      .num("pages_rx", st.pages_rx)
      .str("remote_ident", text(t30_get_rx_ident(t30())))
      .str("local_ident", opts_.ident)
      .num("bit_rate", st.bit_rate)
      .num("ecm", st.error_correcting_mode ? 1 : 0);
  if (!rxFile_.empty() && st.pages_rx > 0) ev.str("file", rxFile_);
  ev.emit();
}

}  // namespace faxline
