// Faults on request and what the modem or the remote machine makes of
// them, checked against what real modems report; plus the time base.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "faxsim_runner.h"
#include "support/temp_dir.h"
#include "t4.h"

namespace faxsim::testing {
namespace {

Bitmap smallPage(int n) {
  Bitmap b = samplePage(n);
  b.height = 300;
  b.fine = false;
  b.bits.resize(size_t(b.height) * size_t(b.stride()));
  return b;
}

// Frame names and bytes of every frame in the log, in order.
std::vector<std::string> frames(const FaxsimProcess& sim) {
  std::vector<std::string> out;
  for (const auto& e : sim.events())
    if (e.rfind("EVENT frame", 0) == 0) out.push_back(field(e, "from") + ":" + field(e, "name") + ":" + field(e, "hex"));
  return out;
}

std::string names(const FaxsimProcess& sim) {
  std::string s;
  for (const auto& e : sim.events())
    if (e.rfind("EVENT frame", 0) == 0) s += field(e, "name") + " ";
  return s;
}

// A remote sender (777) calls a remote receiver (555); both run T.30 in faxsim.
struct RemoteCall {
  tlm::testing::TempDir dir;
  std::unique_ptr<FaxsimProcess> sim;
  explicit RemoteCall(std::vector<std::string> extra, double accel = 50, int pages = 2) {
    std::string files;
    for (int i = 1; i <= pages; ++i) {
      writePbm(dir.File("p" + std::to_string(i) + ".pbm"), smallPage(i));
      files += (i > 1 ? "," : "") + dir.File("p" + std::to_string(i) + ".pbm");
    }
    std::vector<std::string> args = {"--remote-receiver", "555:" + dir.Folder(), "--remote-sender",
                                     "777:" + files + ":555:delay=1"};
    if (accel > 1) args.insert(args.end(), {"--speed", "accelerated", "--accel", std::to_string(int(accel))});
    args.insert(args.end(), extra.begin(), extra.end());
    sim = std::make_unique<FaxsimProcess>(dir.Folder(), args);
  }
  std::string done(const std::string& fax) { return sim->waitFor({"EVENT fax_done", "fax=" + fax}, 60); }
};

// An APF file (line records, one per coded line as the converter writes
// them) sent by a remote machine arrives as the same bitmap.
TEST(FaxsimRemote, SendsApfPagesThatArriveIntact) {
  tlm::testing::TempDir dir;
  Bitmap page = smallPage(3);
  page.fine = true;
  Bytes data = encodeMh(page, 0), records;
  for (size_t i = 0; i < data.size(); i += 700) {
    size_t n = std::min<size_t>(700, data.size() - i);
    records.push_back(uint8_t(n));
    records.push_back(uint8_t(n >> 8));
    records.insert(records.end(), data.begin() + long(i), data.begin() + long(i + n));
  }
  Bytes file = {'A', 'P', 'F', '1', '0', 0x1A};
  file.resize(64, 0);
  file[32] = 1;
  file[34] = 64;
  Bytes header(16, 0);
  for (int i = 0; i < 4; ++i) header[size_t(i)] = uint8_t(records.size() >> (8 * i));
  header[4] = 4 | 1;  // line records, fine
  file.insert(file.end(), header.begin(), header.end());
  file.insert(file.end(), records.begin(), records.end());
  ASSERT_EQ(writeFileAtomic(dir.File("doc.apf"), file), "");
  FaxsimProcess sim(dir.Folder(), {"--remote-receiver", "555:" + dir.Folder(), "--remote-sender",
                                   "777:" + dir.File("doc.apf") + ":555:delay=1", "--speed", "accelerated",
                                   "--accel", "50"});
  ASSERT_TRUE(sim.started());
  std::string got = sim.waitFor({"EVENT page", "fax=555", "role=receiver"}, 30);
  EXPECT_EQ(field(got, "res"), "fine");
  Bitmap received;
  ASSERT_EQ(readPbm(field(got, "file"), received), "");
  EXPECT_EQ(received.bits, page.bits);
  // A file that is not APF is refused at start-up, with the reason.
  tlm::testing::WriteText(dir.File("bad.apf"), "not a fax");
  EXPECT_NE(run(std::string(FAXSIM_BINARY) + " --remote-sender 1:" + dir.File("bad.apf") + ":2 2>/dev/null"), 0);
}

TEST(FaxsimFaults, TrainingFailureFallsBackToALowerSpeed) {
  RemoteCall c({"--fault", "555:train-fail-above=9600"});
  ASSERT_TRUE(c.sim->started());
  EXPECT_EQ(field(c.done("777"), "status"), "0");
  EXPECT_NE(names(*c.sim).find("DCS FTT TSI DCS FTT TSI DCS CFR"), std::string::npos) << names(*c.sim);
  EXPECT_FALSE(c.sim->waitFor({"EVENT trained", "mod=V17-9600"}, 1).empty());
  EXPECT_FALSE(c.sim->waitFor({"EVENT tcf", "result=bad"}, 1).empty());
  EXPECT_FALSE(c.sim->waitFor({"EVENT page", "fax=555", "rate=9600", "response=MCF"}, 1).empty());
}

TEST(FaxsimFaults, RtnForAPageMakesTheSenderRetrainAndResend) {
  RemoteCall c({"--fault", "555:rtn=2"});
  ASSERT_TRUE(c.sim->started());
  EXPECT_EQ(field(c.done("777"), "status"), "0");
  EXPECT_NE(names(*c.sim).find("MPS MCF EOP RTN TSI DCS CFR EOP MCF DCN"), std::string::npos) << names(*c.sim);
  EXPECT_EQ(field(c.done("555"), "pages"), "2");
}

TEST(FaxsimFaults, CarrierLossInAPageEndsTheCallWithErrors) {
  RemoteCall c({"--fault", "555:carrier-loss=2"});
  ASSERT_TRUE(c.sim->started());
  EXPECT_FALSE(c.sim->waitFor({"EVENT carrier_lost", "page=2"}, 30).empty());
  EXPECT_NE(field(c.done("777"), "status"), "0");
  EXPECT_NE(field(c.done("555"), "status"), "0");
  EXPECT_EQ(field(c.done("555"), "pages"), "1");
}

TEST(FaxsimFaults, DcnAndHangUpFromTheRemoteAtAChosenPoint) {
  {
    RemoteCall c({"--fault", "555:dcn=MCF@2"});
    ASSERT_TRUE(c.sim->started());
    EXPECT_EQ(field(c.done("777"), "status"), "55");  // invalid response to EOP
    EXPECT_NE(names(*c.sim).find("MPS MCF EOP DCN"), std::string::npos) << names(*c.sim);
  }
  {
    RemoteCall c({"--fault", "555:hangup=CFR"});
    ASSERT_TRUE(c.sim->started());
    EXPECT_FALSE(c.sim->waitFor({"EVENT hangup", "by=555"}, 30).empty());
    EXPECT_EQ(names(*c.sim).find("CFR"), std::string::npos);
    EXPECT_EQ(field(c.done("777"), "status"), "far_end_hangup");
  }
}

TEST(FaxsimFaults, BitErrorsInPageDataGiveBadLinesAndRtn) {
  RemoteCall c({"--fault", "555:bit-errors=0.002"}, 50, 1);
  ASSERT_TRUE(c.sim->started());
  std::string page = c.sim->waitFor({"EVENT page", "fax=555", "role=receiver"}, 30);
  EXPECT_NE(field(page, "bad_lines"), "0");
  EXPECT_EQ(field(page, "response"), "RTN");
}

// The modem as a program sees it.
struct ModemLine {
  tlm::testing::TempDir dir;
  std::unique_ptr<FaxsimProcess> sim;
  std::unique_ptr<Dte> dte;
  explicit ModemLine(std::vector<std::string> extra, const std::string& classes = "1,2,2.0") {
    std::vector<std::string> args = {"--modem", dir.File("modem") + "=100:class=" + classes, "--remote-receiver",
                                     "555:" + dir.Folder(), "--speed", "accelerated", "--accel", "20"};
    args.insert(args.end(), extra.begin(), extra.end());
    sim = std::make_unique<FaxsimProcess>(dir.Folder(), args);
    dte = std::make_unique<Dte>(dir.File("modem"));
  }
};

// The demo's sample-fax machine calls by itself a few seconds after the
// program has put the modem into a fax class and waits for calls; a port
// left in data mode (class 0) is not called.
TEST(FaxsimModem, TheDemoSenderCallsAModemThatWaitsForCalls) {
  tlm::testing::TempDir dir;
  FaxsimProcess sim(dir.Folder(), {"--demo", dir.File("demo"), "--speed", "accelerated", "--accel", "20"});
  ASSERT_TRUE(sim.started());
  {
    Dte idle(dir.File("demo/modem"));
    ASSERT_TRUE(idle.ok());
    idle.command("ATE0");
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // 12 simulated seconds
    EXPECT_TRUE(sim.waitFor({"EVENT call", "from=5550199"}, 0.1).empty());
  }
  Dte dte(dir.File("demo/modem"));
  ASSERT_TRUE(dte.ok());
  dte.command("ATE0");
  dte.command("AT+FCLASS=1");
  EXPECT_NE(dte.waitFor("RING", 5).find("RING"), std::string::npos);
  EXPECT_FALSE(sim.waitFor({"EVENT call", "from=5550199", "to=100"}, 1).empty());
}

TEST(FaxsimModem, AnswersTheHayesAndClassQueries) {
  ModemLine m({}, "1,2.0");
  ASSERT_TRUE(m.sim->started() && m.dte->ok());
  EXPECT_NE(m.dte->command("ATE0Q0V1X4S0=0S2=43").find("OK"), std::string::npos);
  EXPECT_NE(m.dte->command("AT+FCLASS=?").find("\r\n0,1,2.0\r\n\r\nOK"), std::string::npos);
  EXPECT_NE(m.dte->command("AT+FCLASS=2").find("ERROR"), std::string::npos);  // not offered
  EXPECT_NE(m.dte->command("AT+FTM=?").find("ERROR"), std::string::npos);     // Class 1 only
  EXPECT_NE(m.dte->command("ATS7=45").find("OK"), std::string::npos);
  EXPECT_NE(m.dte->command("ATS7?").find("045"), std::string::npos);
  EXPECT_NE(m.dte->command("AT+FCLASS=1").find("OK"), std::string::npos);
  EXPECT_NE(m.dte->command("AT+FTM=?").find("24,48,72,73,74,96,97,98,121,122,145,146"), std::string::npos);
  EXPECT_NE(m.dte->command("AT+FCLASS?").find("\r\n1\r\n"), std::string::npos);
  m.dte->command("ATQ0V0", 1);
  EXPECT_NE(m.dte->command("ATV1X4&K3 L0 M1").find("OK"), std::string::npos);
  EXPECT_NE(m.dte->command("AT+FOO=1").find("ERROR"), std::string::npos);
  EXPECT_NE(m.dte->command("ATJ").find("ERROR"), std::string::npos);
  // Class 2 compound parameters keep what is omitted.
  EXPECT_NE(m.dte->command("AT+FCLASS=2.0").find("OK"), std::string::npos);
  EXPECT_NE(m.dte->command("AT+FIS=0,3").find("OK"), std::string::npos);
  EXPECT_NE(m.dte->command("AT+FIS?").find("\r\n0,3,0,2,0,0,0,0\r\n"), std::string::npos);
  EXPECT_NE(m.dte->command("AT+FLI=\"+1 555 0100\"").find("OK"), std::string::npos);
  EXPECT_NE(m.dte->command("AT+FLI?").find("+1 555 0100"), std::string::npos);
  // "+++" only counts with a guard time (S12 = 1 s) on both sides.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  m.dte->send("+++");
  EXPECT_NE(m.dte->waitFor("\r\nOK\r\n", 2).find("\r\nOK\r\n"), std::string::npos);
  m.dte->send("+++\r");  // no guard time after it: just a line without AT
  EXPECT_EQ(m.dte->waitFor("\r\nOK\r\n", 0.5).find("OK"), std::string::npos);
  m.dte->command("AT+FCLASS=1");
  // Class 1 data commands without a call.
  EXPECT_NE(m.dte->command("AT+FRH=3").find("NO CARRIER"), std::string::npos);
}

TEST(FaxsimModem, DialFailuresAsRealModemsReportThem) {
  ModemLine m({"--fault", "556:busy", "--fault", "557:voice", "--fault", "558:no-answer"});
  ASSERT_TRUE(m.sim->started() && m.dte->ok());
  m.dte->command("ATE0S7=30");
  EXPECT_NE(m.dte->command("ATDT556").find("BUSY"), std::string::npos);
  EXPECT_NE(m.dte->command("ATX0DT556").find("NO CARRIER"), std::string::npos);  // no busy detection
  m.dte->command("ATX4");
  EXPECT_NE(m.dte->command("ATDT999").find("NO CARRIER"), std::string::npos);  // unknown number
  EXPECT_NE(m.dte->command("ATDT557").find("VOICE"), std::string::npos);
  EXPECT_NE(m.dte->command("ATDT558").find("NO CARRIER"), std::string::npos);  // S7 expired
  EXPECT_NE(m.dte->command("ATDT@558").find("NO ANSWER"), std::string::npos);
  EXPECT_FALSE(m.sim->waitFor({"EVENT hangup", "to=558", "reason=no_answer"}, 1).empty());
}

// "busy=N": the number is busy for the first N calls only, so a redial
// gets through.
TEST(FaxsimModem, BusyForTheFirstCallsOnly) {
  ModemLine m({"--fault", "555:busy=2"});
  ASSERT_TRUE(m.sim->started() && m.dte->ok());
  m.dte->command("ATE0S7=30");
  EXPECT_NE(m.dte->command("ATDT555").find("BUSY"), std::string::npos);
  EXPECT_NE(m.dte->command("ATDT555").find("BUSY"), std::string::npos);
  m.dte->command("AT+FCLASS=1");
  std::string r = m.dte->command("ATDT555", 20);
  EXPECT_NE(r.find("CONNECT"), std::string::npos) << r;
  EXPECT_FALSE(m.sim->waitFor({"EVENT answered", "call=3", "to=555"}, 1).empty());
  EXPECT_FALSE(m.sim->waitFor({"EVENT hangup", "call=2", "reason=busy"}, 1).empty());
}

TEST(FaxsimModem, DataModemAndSlowAnswers) {
  ModemLine m({"--fault", "559:data", "--fault", "555:slow-answer=20"});
  ASSERT_TRUE(m.sim->started() && m.dte->ok());
  m.dte->command("ATE0S7=40");
  // A data modem answers: a fax modem never hears V.21 flags.
  m.dte->command("AT+FCLASS=2");
  std::string r = m.dte->command("ATDT559", 20);
  EXPECT_NE(r.find("+FHNG:11\r\n\r\nNO CARRIER"), std::string::npos) << r;
  // A slow answer still connects within S7.
  m.dte->command("AT+FCLASS=1");
  EXPECT_NE(m.dte->command("ATDT555", 20).find("CONNECT"), std::string::npos);
  std::string answered = m.sim->waitFor({"EVENT answered", "to=555"}, 1);
  std::string call = m.sim->waitFor({"EVENT call", "to=555"}, 1);
  EXPECT_GT(std::stod(field(answered, "t")) - std::stod(field(call, "t")), 20.0);
}

TEST(FaxsimModem, NoDialToneAndGarbageLines) {
  ModemLine m({"--fault", "100:no-dialtone", "--fault", "100:garbage"});
  ASSERT_TRUE(m.sim->started() && m.dte->ok());
  std::string r = m.dte->command("ATE0");
  EXPECT_NE(r.find("#%&*@!~?"), std::string::npos);
  EXPECT_NE(m.dte->command("ATD555").find("NO DIALTONE"), std::string::npos);
  EXPECT_NE(m.dte->command("ATX3D555").find("NO CARRIER"), std::string::npos);  // blind dialling
}

TEST(FaxsimModem, Class1CallToTheRemote) {
  ModemLine m({});
  ASSERT_TRUE(m.sim->started() && m.dte->ok());
  m.dte->command("ATE0");
  m.dte->command("AT+FCLASS=1");
  // CONNECT with the answerer's flags, then its CSI (FF 03 40 ...) at once.
  std::string r = m.dte->command("ATD555");
  if (r.find("\r\nOK\r\n") == std::string::npos) r += m.dte->waitFor("\r\nOK\r\n");
  EXPECT_NE(r.find(std::string("\r\nCONNECT\r\n\xFF\x03\x40", 12)), std::string::npos) << r;
  r = m.dte->command("AT+FRH=3");
  r += m.dte->waitFor("\r\nOK\r\n", 5);
  EXPECT_NE(r.find(std::string("\xFF\x13\x80", 3)), std::string::npos) << r;
  EXPECT_NE(r.find("\x10\x03\r\nOK\r\n"), std::string::npos);
  // While the far end is silent, a high-speed receive waits; a character aborts it.
  EXPECT_NE(m.dte->command("AT+FTH=3").find("CONNECT"), std::string::npos);
  r = m.dte->command(std::string("\xFF\x13\xFB\x10\x03", 5).substr(0, 5));  // DCN (no CR needed)
  EXPECT_NE(r.find("OK"), std::string::npos);
  EXPECT_NE(m.dte->command("ATH").find("OK"), std::string::npos);
  EXPECT_FALSE(m.sim->waitFor({"EVENT frame", "from=100", "name=DCN"}, 5).empty());
}

// A Class 2 / 2.0 program sending a page; the remote answers RTN or DCN.
void class2Send(const std::string& cls, const std::string& fault, const std::string& expect) {
  ModemLine m({"--fault", "555:" + fault});
  ASSERT_TRUE(m.sim->started() && m.dte->ok());
  bool c20 = cls == "2.0";
  m.dte->command("ATE0");
  ASSERT_NE(m.dte->command("AT+FCLASS=" + cls).find("OK"), std::string::npos);
  if (c20) m.dte->command("AT+FNR=1,1,1,1");
  std::string r = m.dte->command("ATD555", 40);
  ASSERT_NE(r.find(c20 ? "+FCO" : "+FCON"), std::string::npos) << r;
  EXPECT_NE(r.find(c20 ? "+FIS:" : "+FDIS:"), std::string::npos) << r;
  r = m.dte->command("AT+FDT", 40);
  if (fault.rfind("dcn=CFR", 0) == 0) {
    EXPECT_NE(r.find(expect), std::string::npos) << r;
    return;
  }
  ASSERT_NE(r.find("CONNECT"), std::string::npos) << r;
  Bytes page = encodeMh(smallPage(1), 0);
  std::string data;
  for (uint8_t b : page) {
    data += char(b);
    if (b == 0x10) data += char(0x10);
  }
  data += c20 ? "\x10." : "\x10\x03";
  r = m.dte->command(data.substr(0, data.size()), 40);  // the CR after it is ignored as data end
  if (!c20) {
    EXPECT_NE(r.find("OK"), std::string::npos);
    r = m.dte->command("AT+FET=2", 40);
  }
  EXPECT_NE(r.find(expect), std::string::npos) << r;
}

TEST(FaxsimModem, Class2ReportsRtnAndHangUpCodes) {
  class2Send("2", "rtn=1", "+FPTS:2");
  class2Send("2", "dcn=CFR", "+FHNG:20");
}

TEST(FaxsimModem, Class20ReportsRtnAndHangUpCodes) {
  class2Send("2.0", "rtn=1", "\r\nERROR\r\n");
  class2Send("2.0", "dcn=CFR", "+FHS:20");
}

TEST(FaxsimTiming, RealTimeAndAcceleratedRunsCarryTheSameFrames) {
  RemoteCall fast({}, 50, 1);
  ASSERT_TRUE(fast.sim->started());
  ASSERT_EQ(field(fast.done("777"), "status"), "0");
  RemoteCall slow({}, 1, 1);
  ASSERT_TRUE(slow.sim->started());
  std::string done = slow.done("777");
  ASSERT_EQ(field(done, "status"), "0");
  EXPECT_EQ(frames(*fast.sim), frames(*slow.sim));
  // The simulated clock agrees with the line's timing in both runs.
  double tFast = std::stod(field(fast.done("777"), "t")), tSlow = std::stod(field(done, "t"));
  EXPECT_NEAR(tFast, tSlow, 1.0);
  EXPECT_GT(tSlow, 12.0);  // ringing, CED, V.21 preambles, TCF: a real call's length
}

}  // namespace
}  // namespace faxsim::testing
