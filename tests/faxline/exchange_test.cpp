// The exchange's call progress on line time (no real time): busy and
// unknown numbers, ringing, answer, the audio path, time-outs and hang-ups,
// and the event line each call ends with.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "exchange.h"
#include "line_config.h"

namespace faxline {
namespace {

class FakeEndpoint : public Endpoint {
 public:
  FakeEndpoint(std::string number, int16_t tone) : Endpoint(std::move(number)), tone_(tone) {}
  std::vector<std::string> log;
  int16_t heard = -1;  // the last sample received
  int timeoutMs = 60000;

  int ringTimeoutMs() const override { return timeoutMs; }
  void incomingRing(Call& c) override { log.push_back("ring " + std::to_string(c.rings)); }
  void callConnected(Call&) override { log.push_back("connected"); }
  void callFailed(Call&, CallFailure why) override { log.push_back(why == CallFailure::Busy ? "busy" : "no carrier"); }
  void callEnded(Call&, bool bySelf) override { log.push_back(bySelf ? "hung up" : "far end hung up"); }
  void audioTx(int16_t* amp, int len) override { std::fill(amp, amp + len, tone_); }
  void audioRx(const int16_t* amp, int len) override { heard = amp[len - 1]; }

 private:
  int16_t tone_;
};

// Runs the line for `ms` of line time; the event lines written meanwhile.
std::string RunLine(Exchange& ex, int ms) {
  ::testing::internal::CaptureStdout();
  for (int t = 0; t < ms; t += kTickMs) {
    ex.tick();
    ex.collect();
  }
  return ::testing::internal::GetCapturedStdout();
}

using Log = std::vector<std::string>;

struct Line {
  Exchange ex;
  FakeEndpoint a{"100", 1111}, b{"200", 2222};
  Line() {
    ex.add(&a);
    ex.add(&b);
  }
};

TEST(Exchange, BusyAndUnknownNumbersFailTheCallerInTime) {
  Line line;
  line.ex.addBusyNumber("999");
  line.ex.dial(&line.a, "999");
  EXPECT_EQ(RunLine(line.ex, 2480).find("EVENT hangup"), std::string::npos);  // dialling, then the busy tone
  EXPECT_TRUE(line.a.log.empty());
  const std::string busy = RunLine(line.ex, 20);
  EXPECT_EQ(line.a.log, Log{"busy"});
  EXPECT_NE(busy.find("to=999 by=line reason=busy answered=0"), std::string::npos) << busy;

  line.ex.dial(&line.a, "12345");
  RunLine(line.ex, 3980);
  EXPECT_EQ(line.a.log, Log{"busy"});
  const std::string unknown = RunLine(line.ex, 20);
  EXPECT_EQ(line.a.log, (Log{"busy", "no carrier"}));
  EXPECT_NE(unknown.find("reason=unknown_number"), std::string::npos) << unknown;

  line.ex.dial(&line.a, "100");  // its own number
  RunLine(line.ex, 2500);
  EXPECT_EQ(line.a.log.back(), "busy");
  EXPECT_EQ(line.ex.endedCalls(), 3);
  EXPECT_TRUE(line.b.log.empty());
}

TEST(Exchange, RingsUntilAnsweredThenCarriesAudioOneBlockLate) {
  Line line;
  Call* call = line.ex.dial(&line.a, "200");
  const std::string rings = RunLine(line.ex, 1500 + config.ringIntervalMs);
  EXPECT_EQ(line.b.log, (Log{"ring 1", "ring 2"}));
  EXPECT_NE(rings.find("EVENT ring"), std::string::npos);
  EXPECT_NE(rings.find("count=2"), std::string::npos);
  EXPECT_TRUE(line.b.busy());  // a second caller would get the busy tone

  line.ex.answer(call);
  EXPECT_EQ(line.a.log, Log{"connected"});
  EXPECT_EQ(line.b.log.back(), "connected");
  line.ex.tick();  // the first block is still on its way
  EXPECT_EQ(line.a.heard, 0);
  EXPECT_EQ(line.b.heard, 0);
  line.ex.tick();
  EXPECT_EQ(line.a.heard, 2222);
  EXPECT_EQ(line.b.heard, 1111);

  RunLine(line.ex, 1000);
  ::testing::internal::CaptureStdout();
  line.ex.hangup(call, &line.b, "fax_done");
  const std::string end = ::testing::internal::GetCapturedStdout();
  line.ex.collect();
  EXPECT_EQ(line.a.log.back(), "far end hung up");
  EXPECT_EQ(line.b.log.back(), "hung up");
  EXPECT_NE(end.find("by=200 reason=fax_done answered=1 duration=1.0"), std::string::npos) << end;
  EXPECT_EQ(line.a.call(), nullptr);
  EXPECT_EQ(line.b.call(), nullptr);
}

TEST(Exchange, AnUnansweredCallEndsAtTheCallersTimeout) {
  Line line;
  line.a.timeoutMs = 9000;
  line.ex.dial(&line.a, "200");
  RunLine(line.ex, 8980);
  EXPECT_TRUE(line.a.log.empty());
  const std::string out = RunLine(line.ex, 20);
  EXPECT_EQ(line.a.log, Log{"no carrier"});
  EXPECT_EQ(line.b.log.back(), "far end hung up");  // the ringing stops
  EXPECT_NE(out.find("reason=no_answer answered=0"), std::string::npos) << out;
}

TEST(Exchange, ACalleeInACallIsBusy) {
  Line line;
  FakeEndpoint c{"300", 3333};
  line.ex.add(&c);
  line.ex.answer(line.ex.dial(&line.a, "200"));  // not ringing yet: no effect
  EXPECT_TRUE(line.a.log.empty());
  RunLine(line.ex, 1500);
  line.ex.answer(line.a.call());
  line.ex.dial(&c, "200");
  RunLine(line.ex, 2500);
  EXPECT_EQ(c.log, Log{"busy"});
  EXPECT_EQ(line.b.log, (Log{"ring 1", "connected"}));
  RunLine(line.ex, 20);
  EXPECT_EQ(c.heard, 0);  // idle endpoints still get their blocks: silence
}

}  // namespace
}  // namespace faxline
