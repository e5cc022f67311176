// Serial port layer over a pseudo-terminal: throughput, the latency from a
// byte's arrival to its handler, and the CPU cost of an idle open port.
//
//   comm_bench                                 all, idle port for 60 s
//   TOLMERA_IDLE_SECONDS=5 comm_bench          a quick idle measurement
//   comm_bench --benchmark_filter=Latency      one of them
//
// Goals: median latency under 5 ms; an idle port under 1% of one core.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "comm/com_port.h"
#include "comm/comm_types.h"
#include "comm/pty_pair.h"

namespace tlm {
namespace {

using Clock = std::chrono::steady_clock;
using testing::PtyPair;

double ProcessCpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Bytes written by the port and read on the modem side.
void BM_ThroughputToModem(benchmark::State& state) {
  PtyPair pty;
  TKvComPort port;
  port.SetDeviceName(pty.SlavePath());
  port.SetOpen(true);
  const std::size_t total = 1 << 20;
  const std::string block(1024, 'x');
  for (auto _ : state) {
    std::thread reader([&] { benchmark::DoNotOptimize(pty.Read(total, 60000)); });
    for (std::size_t sent = 0; sent < total;) {
      if (port.OutBuffFree() >= block.size()) {
        port.PutBlock(block.data(), block.size());
        sent += block.size();
      } else {
        std::this_thread::yield();
      }
    }
    reader.join();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(total));
}
BENCHMARK(BM_ThroughputToModem)->Unit(benchmark::kMillisecond)->UseRealTime();

// Bytes sent by the modem and consumed by an avail handler.
void BM_ThroughputFromModem(benchmark::State& state) {
  PtyPair pty;
  TKvComPort port;
  port.SetDeviceName(pty.SlavePath());
  port.SetOpen(true);
  std::atomic<std::size_t> consumed{0};
  std::vector<std::uint8_t> sink(8192);
  port.RegisterProcedureHandler([&](std::uint16_t msg, std::uint16_t, std::uint32_t data) {
    if (msg != kMsgTriggerAvail) return;
    const std::size_t count = data & 0xFFFF;
    port.GetBlock(sink.data(), count);
    consumed += count;
  });
  port.SetTriggerAvail(1);
  const std::size_t total = 1 << 20;
  const std::string block(4096, 'y');
  for (auto _ : state) {
    consumed = 0;
    for (std::size_t sent = 0; sent < total; sent += block.size()) pty.Write(block);
    while (consumed < total) std::this_thread::yield();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(total));
}
BENCHMARK(BM_ThroughputFromModem)->Unit(benchmark::kMillisecond)->UseRealTime();

// From the modem writing one byte to the handler being called.
void BM_LatencyArrivalToHandler(benchmark::State& state) {
  PtyPair pty;
  TKvComPort port;
  port.SetDeviceName(pty.SlavePath());
  port.SetOpen(true);
  std::atomic<std::int64_t> calledAt{0};
  port.RegisterProcedureHandler([&](std::uint16_t msg, std::uint16_t, std::uint32_t) {
    if (msg != kMsgTriggerAvail) return;
    calledAt = Clock::now().time_since_epoch().count();
    char c;
    port.GetBlock(&c, 1);
  });
  port.SetTriggerAvail(1);
  std::vector<double> samples;
  for (auto _ : state) {
    calledAt = 0;
    const auto sent = Clock::now();
    pty.Write("R");
    while (calledAt == 0) std::this_thread::yield();
    const auto latency = Clock::time_point(Clock::duration(calledAt.load())) - sent;
    samples.push_back(std::chrono::duration<double, std::milli>(latency).count());
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // let the port go idle again
  }
  std::sort(samples.begin(), samples.end());
  state.counters["median_ms"] = samples[samples.size() / 2];
  state.counters["p99_ms"] = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
}
BENCHMARK(BM_LatencyArrivalToHandler)->Iterations(500)->Unit(benchmark::kMillisecond);

// CPU time the whole process spends while one port is open and idle.
void BM_IdlePortCpu(benchmark::State& state) {
  const char* env = std::getenv("TOLMERA_IDLE_SECONDS");
  const int seconds = env && std::atoi(env) > 0 ? std::atoi(env) : 60;
  PtyPair pty;
  TKvComPort port;
  port.SetDeviceName(pty.SlavePath());
  port.SetOpen(true);
  port.RegisterProcedureHandler([](std::uint16_t, std::uint16_t, std::uint32_t) {});
  port.SetTriggerAvail(1);
  const int timer = port.AddTimerTrigger();
  port.SetTimerTrigger(timer, SecsToTicks(3600), true);  // armed, far away
  for (auto _ : state) {
    const double before = ProcessCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double used = ProcessCpuSeconds() - before;
    state.counters["cpu_percent_of_core"] = 100.0 * used / seconds;
    state.counters["idle_seconds"] = seconds;
  }
}
BENCHMARK(BM_IdlePortCpu)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tlm

BENCHMARK_MAIN();
