#pragma once
// Test support: a fax modem played from a script on the master side of a
// pseudo-terminal. Commands are read line by line and answered by the
// test's handler; after "AT+FTH=3" the frames the receiver sends are read
// up to DLE ETX and answered CONNECT (more frames) or OK (final frame);
// after "AT+FTM=<code>" answered CONNECT the data up to DLE ETX is kept (one
// entry of Bursts() each) and answered OK.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <termios.h>
#include <thread>
#include <vector>

#include "comm/pty_pair.h"

namespace tlm::testing {

class ScriptedModem {
 public:
  // Called with each command line (without CR); returns the reply bytes.
  using Handler = std::function<std::string(const std::string& command)>;

  explicit ScriptedModem(Handler handler) : handler_(std::move(handler)) {
    thread_ = std::thread([this] { Run(); });
  }
  ~ScriptedModem() {
    stop_ = true;
    thread_.join();
  }
  const std::string& Path() const { return pty_.SlavePath(); }
  void Write(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(writeLock_);
    pty_.Write(bytes);
  }
  std::vector<std::string> Commands() {
    std::lock_guard<std::mutex> lock(lock_);
    return commands_;
  }
  // The FCFs of the frames the receiver sent, in order.
  std::vector<int> SentFrames() {
    std::lock_guard<std::mutex> lock(lock_);
    return frames_;
  }
  // The whole frames the receiver sent (address, control, FCF, information).
  std::vector<std::string> SentFrameBodies() {
    std::lock_guard<std::mutex> lock(lock_);
    return frameBodies_;
  }
  // The data written after each "AT+FTM=<code>", DLE shielding removed.
  std::vector<std::string> Bursts() {
    std::lock_guard<std::mutex> lock(lock_);
    return bursts_;
  }
  // The line settings the program gave the port (a pty's two ends share
  // them).
  termios LineSettings() const {
    termios tio{};
    ::tcgetattr(pty_.Master(), &tio);
    return tio;
  }
  bool Saw(const std::string& command) {
    for (const std::string& c : Commands()) {
      if (c == command) return true;
    }
    return false;
  }

  // "\r\n" + text + "\r\n".
  static std::string Result(const std::string& text) { return "\r\n" + text + "\r\n"; }
  // A received frame as a Class 1 modem delivers it after "AT+FRH=3".
  static std::string Frame(int fcf, const std::string& info, bool final) {
    std::string f = Result("CONNECT");
    std::string body = {char(0xFF), char(final ? 0x13 : 0x03), char(fcf)};
    body += info;
    for (char c : body) {
      f += c;
      if (c == 0x10) f += c;
    }
    return f + "\x10\x03" + Result("OK");
  }

 private:
  void Run() {
    std::string line;
    bool inFrame = false, inData = false, dle = false;
    std::string frame;
    while (!stop_) {
      const std::string got = pty_.Read(1, 20);
      if (got.empty()) continue;
      const char c = got[0];
      if (inData) {
        if (dle) {
          dle = false;
          if (c == 0x03) {
            inData = false;
            {
              std::lock_guard<std::mutex> lock(lock_);
              bursts_.push_back(frame);
            }
            frame.clear();
            Write(Result("OK"));
          } else {
            frame += c;
          }
        } else if (c == 0x10) {
          dle = true;
        } else {
          frame += c;
        }
        continue;
      }
      if (inFrame) {
        if (dle) {
          dle = false;
          if (c == 0x03) {
            inFrame = false;
            const bool final = frame.size() > 1 && (frame[1] & 0x10);
            {
              std::lock_guard<std::mutex> lock(lock_);
              if (frame.size() > 2) frames_.push_back(static_cast<unsigned char>(frame[2]));
              if (frame.size() > 2) frameBodies_.push_back(frame);
            }
            Write(Result(final ? "OK" : "CONNECT"));
            if (!final) inFrame = true;
            frame.clear();
          } else {
            frame += c;
          }
        } else if (c == 0x10) {
          dle = true;
        } else {
          frame += c;
        }
        continue;
      }
      if (c == '\r') {
        {
          std::lock_guard<std::mutex> lock(lock_);
          commands_.push_back(line);
        }
        const std::string reply = handler_(line);
        Write(reply);
        if ((line == "AT+FTH=3" || line == "ATA") && reply.find("CONNECT") != std::string::npos) inFrame = true;
        if (line.rfind("AT+FTM=", 0) == 0 && line != "AT+FTM=?" && reply.find("CONNECT") != std::string::npos)
          inData = true;
        line.clear();
      } else if (c != '\n' && static_cast<unsigned char>(c) >= 0x20) {
        line += c;
      }
    }
  }

  PtyPair pty_;
  Handler handler_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::mutex writeLock_;
  std::vector<std::string> commands_;
  std::vector<int> frames_;
  std::vector<std::string> frameBodies_;
  std::vector<std::string> bursts_;
};

}  // namespace tlm::testing
