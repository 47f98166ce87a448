// Our stand-in for the smart-card interface, reached through the same comm
// calls as a real port (map it into the port table). It runs on whichever
// clock is installed: real time for a demonstration, virtual time in tests.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "arrivals.h"
#include "comm_device.h"

namespace emulator {

using Bytes = std::vector<BYTE>;

// The dialogue's steps, in the order the interface expects them.
enum class Command { Entry, Version, Mode, ResetDelay, Final };

// The configuration steps of opening a port, any of which a test can fail.
enum class OpenStep { CreateFile, SetCommTimeouts, SetupComm, GetCommState, SetCommState };

// How the port can refuse to open, so that what the program says of each can
// be seen without hardware: "missing", "permission", "in-use".
enum class OpenRefusal { Missing, Permission, InUse };
std::optional<OpenRefusal> OpenRefusalFromName(std::string_view name);

// The ways the interface can misbehave at a step of the dialogue, named once
// for the fault table, the JSON scenarios and the tests.
enum class Fault {
  Silence,           // no reply from this step on
  WrongByte,         // the examined byte of the reply is wrong
  LateByte,          // the last byte of the reply comes a second late
  Surplus,           // six bytes too many after the reply
  Short,             // the reply stops before its examined byte
  Unplugged,         // the adapter is pulled out as the host starts the step
  UnpluggedInReply,  // ... while the host waits for the reply
  WriteFailure,      // writes fail from this step on; the line otherwise works
};
inline constexpr Fault kAllFaults[] = {Fault::Silence, Fault::WrongByte, Fault::LateByte,
                                       Fault::Surplus, Fault::Short, Fault::Unplugged,
                                       Fault::UnpluggedInReply, Fault::WriteFailure};
// "silence", "wrong-byte", "late-byte", "surplus", "short", "unplugged",
// "unplugged-in-reply", "write-failure"
const char* FaultName(Fault fault);
std::optional<Fault> FaultFromName(std::string_view name);

// How the reply to one command (or to the break) departs from the normal one.
struct ReplyRule {
  std::optional<Bytes> replace;                 // sent instead of the normal reply
  std::map<std::size_t, BYTE> patch;            // index -> byte, applied afterwards
  std::optional<std::size_t> truncate;          // keep only this many bytes
  Bytes surplus;                                // appended at the end
  platform::Millis delay{0};                    // before the first byte
  platform::Millis lastByteDelay{0};            // before the last byte
};

// What the device was set to: only what it acknowledged. A command whose
// reply a rule replaced by one without an acknowledgement was refused.
struct DeviceSettings {
  std::optional<BYTE> modeClock;
  std::optional<BYTE> resetDelay;
  bool finalReceived = false;
  std::optional<BYTE> refusedModeClock;
  std::optional<BYTE> refusedResetDelay;
  bool smartMouse() const { return modeClock && (*modeClock & 0x80) != 0; }
  int clockCode() const { return modeClock ? (*modeClock & 0x03) : -1; }
};

struct LineEvent {
  // The bytes themselves are received() and what the host read: a log of
  // each would cost a run with a reply of megabytes hundreds of them.
  enum class Kind { Opened, Closed, BreakOn, BreakOff } kind;
  platform::MonoTime at;
};

class CorvaneEmulator final : public platform::CommEndpoint,
                              public std::enable_shared_from_this<CorvaneEmulator> {
 public:
  static constexpr platform::Millis kCardNeverRemoved = platform::Millis::max();
  static constexpr platform::Millis kMinimumBreak{1000};

  static std::shared_ptr<CorvaneEmulator> Create() { return std::shared_ptr<CorvaneEmulator>(new CorvaneEmulator()); }

  // --- the device as built
  Bytes entryReply{0x06};
  BYTE versionMajor = 1;
  BYTE versionMinor = 0;
  // Extra modem bits, which the program must ignore.
  DWORD otherModemBits = MS_CTS_ON | MS_DSR_ON;

  // --- the situation and the faults
  // A card sits in the slot until this long after the port is first opened.
  void InsertCard(platform::Millis removedAfterOpen) { cardFor_ = removedAfterOpen; }
  // Bytes already waiting in the driver when the port is opened.
  Bytes pendingAtOpen;
  void FailOpenAt(OpenStep step) { failOpenAt_ = step; }
  void RefuseOpen(std::optional<OpenRefusal> how) { refusal_ = how; }
  void ClearOpenFailure() { failOpenAt_.reset(); }
  ReplyRule& Rule(Command command) { return commandRules_[command]; }
  // A rule for one exact command text, as sent (e.g. 2A 42 81); it wins over
  // the rule for its command.
  ReplyRule& RuleForBytes(const Bytes& command) { return byteRules_[command]; }
  void SilenceFrom(Command command) { silenceFrom_ = command; }
  // The adapter is unplugged `after` the host starts this step: from then on,
  // as after the kernel's hang-up, a waiting read wakes at once, every call
  // fails, reads after their time-out, and the port cannot be opened again.
  void UnplugFrom(Command command, platform::Millis after = platform::Millis(0)) {
    unplugFrom_ = command;
    unplugDelay_ = after;
  }
  // Writes fail from this command on; the line otherwise keeps working.
  void FailWritesFrom(Command command) { failWritesFrom_ = command; }
  void Inject(Command step, Fault fault);

  // --- what a test can observe
  const DeviceSettings& settings() const { return settings_; }
  const Bytes& received() const { return received_; }
  const std::vector<LineEvent>& events() const { return events_; }
  const std::vector<Command>& commandsAnswered() const { return answered_; }
  // The count asked by each read, in order.
  const std::vector<DWORD>& readRequests() const { return readRequests_; }
  bool isOpen() const { return open_; }
  bool breakOn() const { return breakOn_; }
  bool unplugged() const { return Unplugged(); }
  // How often the host looked at the line for bytes (reads and waits): a
  // host that spins on a dead line shows here.
  int lineLooks() const { return lineLooks_; }
  int openCount() const { return opens_; }
  const DCB& lineSettings() const { return dcb_; }
  platform::Nanos byteTime() const;

  // platform::CommEndpoint
  std::unique_ptr<platform::CommDevice> Open() override;
  std::string Description() const override { return "simulated interface"; }

 private:
  class Connection;
  enum class Phase { Idle, AwaitVersion, AwaitMode, AwaitResetDelay, AwaitFinal };

  CorvaneEmulator();

  bool FailsAt(OpenStep step) const { return failOpenAt_ == step; }
  bool Unplugged() const;
  void StartStep(Command command);
  bool CardInSlot(platform::MonoTime now) const;
  void HostWrite(const BYTE* data, DWORD count, DWORD& written, bool& ok);
  void DeviceReceives(BYTE value, platform::MonoTime at);
  void Answer(Command command, const Bytes& commandBytes, platform::MonoTime at);
  const ReplyRule* RuleFor(Command command, const Bytes& commandBytes) const;
  bool Refuses(Command command, const Bytes& commandBytes) const;
  void Send(Bytes reply, const ReplyRule* rule, platform::MonoTime from);
  void Break(bool on);
  void Close();

  std::optional<platform::Millis> cardFor_;
  std::optional<platform::MonoTime> cardOutAt_;
  std::optional<OpenStep> failOpenAt_;
  std::optional<OpenRefusal> refusal_;
  std::map<Command, ReplyRule> commandRules_;
  // Shortest first, then bytewise; an explicit order also keeps GCC 12's
  // false -Wstringop-overread on vector comparisons at -O3 away.
  struct BytesLess {
    bool operator()(const Bytes& a, const Bytes& b) const {
      if (a.size() != b.size()) return a.size() < b.size();
      for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) return a[i] < b[i];
      }
      return false;
    }
  };
  std::map<Bytes, ReplyRule, BytesLess> byteRules_;
  std::optional<Command> silenceFrom_, unplugFrom_, failWritesFrom_;
  platform::Millis unplugDelay_{0};
  std::optional<platform::MonoTime> unplugAt_;
  int lineLooks_ = 0;

  bool open_ = false;
  int opens_ = 0;
  bool breakOn_ = false;
  platform::MonoTime breakSince_{};
  platform::MonoTime hostLineFreeAt_{};
  platform::MonoTime deviceLineFreeAt_{};
  DCB dcb_{};
  COMMTIMEOUTS timeouts_{};
  Phase phase_ = Phase::Idle;
  Bytes command_;
  Arrivals toHost_;
  DeviceSettings settings_;
  Bytes received_;
  std::vector<LineEvent> events_;
  std::vector<Command> answered_;
  std::vector<DWORD> readRequests_;
};

const char* CommandName(Command command);
// The index of the reply byte the host examines at this step.
std::size_t ExaminedIndex(Command command);
// The command that bytes sent to the interface begin with (2A 41, 2A 42, ...).
std::optional<Command> CommandOfBytes(std::span<const BYTE> bytes);

}  // namespace emulator
