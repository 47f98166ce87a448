#include "corvane_emulator.h"

#include <algorithm>
#include <cerrno>

#include "comm_failure.h"
#include "comm_read.h"

namespace emulator {
namespace {

constexpr BYTE kCommandLead = 0x2A;
constexpr BYTE kAck = 0x06;

std::optional<Command> CommandFromCode(BYTE code) {
  switch (code) {
    case 0x41: return Command::Version;
    case 0x42: return Command::Mode;
    case 0x43: return Command::Final;
    case 0x44: return Command::ResetDelay;
    default: return std::nullopt;
  }
}

std::size_t CommandLength(Command command) {
  return command == Command::Mode || command == Command::ResetDelay ? 3 : 2;
}

platform::MonoTime Now() { return platform::CurrentClock().Now(); }

constexpr const char* kDescription = "simulated interface";
// A group the program surely does not run in, and the type bits of a device.
constexpr unsigned kSimulatedGroup = 0xFFFFFF00u;
constexpr unsigned kCharacterDevice = 0020000;

// Failures carry the errno the kernel would give, so they are explained as a
// real device's are.
BOOL Fail(int systemError, const char* operation) {
  return platform::comm::Fail({systemError, operation, kDescription});
}

struct FaultNameEntry {
  Fault fault;
  const char* name;
};
constexpr FaultNameEntry kFaultNames[] = {
    {Fault::Silence, "silence"},
    {Fault::WrongByte, "wrong-byte"},
    {Fault::LateByte, "late-byte"},
    {Fault::Surplus, "surplus"},
    {Fault::Short, "short"},
    {Fault::Unplugged, "unplugged"},
    {Fault::UnpluggedInReply, "unplugged-in-reply"},
    {Fault::WriteFailure, "write-failure"},
};

}  // namespace

const char* FaultName(Fault fault) {
  for (const auto& entry : kFaultNames) {
    if (entry.fault == fault) return entry.name;
  }
  return "?";
}

std::optional<Fault> FaultFromName(std::string_view name) {
  for (const auto& entry : kFaultNames) {
    if (name == entry.name) return entry.fault;
  }
  return std::nullopt;
}

std::optional<OpenRefusal> OpenRefusalFromName(std::string_view name) {
  if (name == "missing") return OpenRefusal::Missing;
  if (name == "permission") return OpenRefusal::Permission;
  if (name == "in-use") return OpenRefusal::InUse;
  return std::nullopt;
}

std::size_t ExaminedIndex(Command command) {
  switch (command) {
    case Command::Entry: return 0;
    case Command::Version: return 5;
    default: return 3;
  }
}

const char* CommandName(Command command) {
  switch (command) {
    case Command::Entry: return "entry";
    case Command::Version: return "version";
    case Command::Mode: return "mode";
    case Command::ResetDelay: return "reset delay";
    case Command::Final: return "final";
  }
  return "?";
}

// One open of the port: the handle's view of the device.
class CorvaneEmulator::Connection final : public platform::CommDevice, private platform::ReadSource {
 public:
  explicit Connection(std::shared_ptr<CorvaneEmulator> device) : device_(std::move(device)) {}
  ~Connection() override { device_->Close(); }

  BOOL SetTimeouts(const COMMTIMEOUTS& timeouts) override {
    if (device_->FailsAt(OpenStep::SetCommTimeouts)) return Fail(EINVAL, "time-outs");
    device_->timeouts_ = timeouts;
    return TRUE;
  }

  BOOL SetupQueues(DWORD, DWORD) override {
    return device_->FailsAt(OpenStep::SetupComm) ? Fail(EINVAL, "queue sizes") : TRUE;
  }

  BOOL GetState(DCB& dcb) override {
    if (device_->FailsAt(OpenStep::GetCommState)) return Fail(EINVAL, "line settings");
    dcb = device_->dcb_;
    return TRUE;
  }

  BOOL SetState(const DCB& dcb) override {
    if (device_->FailsAt(OpenStep::SetCommState)) return Fail(EINVAL, "line settings");
    if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8) return Fail(EINVAL, "line settings");
    device_->dcb_ = dcb;
    return TRUE;
  }

  BOOL SetBreak(bool on) override {
    if (on) device_->StartStep(Command::Entry);
    if (device_->Unplugged()) return ReportLost();
    device_->Break(on);
    return TRUE;
  }

  BOOL GetModemStatus(DWORD& status) override {
    status = 0;
    if (device_->Unplugged()) return ReportLost();
    status = device_->otherModemBits | (device_->CardInSlot(Now()) ? 0 : MS_RLSD_ON);
    return TRUE;
  }

  BOOL Write(const BYTE* data, DWORD count, DWORD& written) override {
    bool ok = false;
    device_->HostWrite(data, count, written, ok);
    return ok ? TRUE : FALSE;
  }

  BOOL Read(BYTE* data, DWORD count, DWORD& got) override {
    device_->readRequests_.push_back(count);
    return platform::ReadWithTimeouts(device_->timeouts_, *this, data, count, got);
  }

 private:
  DWORD Take(BYTE* data, DWORD max) override {
    ++device_->lineLooks_;
    if (device_->Unplugged()) return 0;
    return device_->toHost_.Take(data, max, Now());
  }

  // Wakes for the next byte, or, as the kernel's hang-up wakes a waiting
  // read, for the adapter being pulled out.
  bool WaitForByte(platform::MonoTime until) override {
    ++device_->lineLooks_;
    const auto& queue = device_->toHost_;
    platform::MonoTime wake = until;
    if (!queue.empty()) wake = std::min(wake, queue.NextAt());
    if (device_->unplugAt_) wake = std::min(wake, std::max(*device_->unplugAt_, Now()));
    platform::CurrentClock().SleepUntil(wake);
    return !device_->Unplugged() && !queue.empty() && queue.NextAt() <= Now();
  }

  bool Failed() const override { return device_->Unplugged(); }

  BOOL ReportLost() override { return Fail(EIO, "read"); }

  std::shared_ptr<CorvaneEmulator> device_;
};

CorvaneEmulator::CorvaneEmulator() {
  // What a driver reports for a freshly plugged-in port.
  dcb_.DCBlength = sizeof(DCB);
  dcb_.BaudRate = 9600;
  dcb_.fBinary = 1;
  dcb_.fDtrControl = DTR_CONTROL_ENABLE;
  dcb_.fRtsControl = RTS_CONTROL_ENABLE;
  dcb_.XonLim = 2048;
  dcb_.XoffLim = 512;
  dcb_.ByteSize = 8;
  dcb_.Parity = NOPARITY;
  dcb_.StopBits = ONESTOPBIT;
  dcb_.XonChar = 0x11;
  dcb_.XoffChar = 0x13;
}

platform::Nanos CorvaneEmulator::byteTime() const {
  // Start bit, eight data bits, stop bit.
  const long long baud = dcb_.BaudRate == 0 ? 9600 : dcb_.BaudRate;
  return platform::Nanos(10'000'000'000LL / baud);
}

std::unique_ptr<platform::CommDevice> CorvaneEmulator::Open() {
  if (open_) {
    Fail(EBUSY, "open");
    return nullptr;
  }
  if (Unplugged() || FailsAt(OpenStep::CreateFile) || refusal_ == OpenRefusal::Missing) {
    Fail(ENOENT, "open");
    return nullptr;
  }
  if (refusal_) {
    // As a device of root's and the group dialout, mode 0660, would refuse a
    // user outside the group; or as one another program holds.
    platform::comm::CommFailure refused(*refusal_ == OpenRefusal::Permission ? EACCES : EBUSY, "open", kDescription);
    if (*refusal_ == OpenRefusal::Permission) {
      refused.access = platform::comm::DeviceAccess{0, kSimulatedGroup, kCharacterDevice | 0660, "root", "dialout"};
    } else {
      refused.holder = 4242;
      refused.holderName = "minicom";
    }
    platform::comm::Fail(std::move(refused));
    return nullptr;
  }
  const platform::MonoTime now = Now();
  open_ = true;
  ++opens_;
  if (cardFor_ && !cardOutAt_ && *cardFor_ != kCardNeverRemoved) cardOutAt_ = now + *cardFor_;
  hostLineFreeAt_ = deviceLineFreeAt_ = now;
  toHost_.Push(now, platform::Nanos(0), pendingAtOpen);
  events_.push_back({LineEvent::Kind::Opened, now});
  return std::make_unique<Connection>(shared_from_this());
}

void CorvaneEmulator::Close() {
  open_ = false;
  breakOn_ = false;  // the driver releases the line when the port closes
  toHost_.clear();
  events_.push_back({LineEvent::Kind::Closed, Now()});
}

bool CorvaneEmulator::Unplugged() const { return unplugAt_ && Now() >= *unplugAt_; }

void CorvaneEmulator::StartStep(Command command) {
  if (unplugFrom_ && command >= *unplugFrom_ && !unplugAt_) unplugAt_ = Now() + unplugDelay_;
}

void CorvaneEmulator::Inject(Command step, Fault fault) {
  ReplyRule& rule = Rule(step);
  switch (fault) {
    case Fault::Silence: SilenceFrom(step); break;
    case Fault::WrongByte: rule.patch[ExaminedIndex(step)] = 0x15; break;
    case Fault::LateByte: rule.lastByteDelay = platform::Millis(1000); break;
    case Fault::Surplus: rule.surplus = Bytes(6, 0x00); break;
    case Fault::Short: rule.truncate = ExaminedIndex(step); break;
    case Fault::Unplugged: UnplugFrom(step); break;
    case Fault::UnpluggedInReply: UnplugFrom(step, platform::Millis(10)); break;
    case Fault::WriteFailure: FailWritesFrom(step); break;
  }
}

bool CorvaneEmulator::CardInSlot(platform::MonoTime now) const {
  if (!cardFor_) return false;
  if (*cardFor_ == kCardNeverRemoved) return true;
  return !cardOutAt_ || now < *cardOutAt_;
}

std::optional<Command> CommandOfBytes(std::span<const BYTE> bytes) {
  if (bytes.size() < 2 || bytes[0] != kCommandLead) return std::nullopt;
  return CommandFromCode(bytes[1]);
}

void CorvaneEmulator::HostWrite(const BYTE* data, DWORD count, DWORD& written, bool& ok) {
  written = 0;
  ok = false;
  const auto command = CommandOfBytes({data, count});
  if (command) StartStep(*command);
  if (Unplugged()) {
    Fail(EIO, "write");
    return;
  }
  if (command && failWritesFrom_ && *command >= *failWritesFrom_) {
    Fail(ETIMEDOUT, "write");
    return;
  }
  const platform::MonoTime start = std::max(Now(), hostLineFreeAt_);
  for (DWORD k = 0; k < count; ++k) {
    const platform::MonoTime arrival = start + byteTime() * (k + 1);
    // While the line is held in break nothing gets through.
    if (!breakOn_) DeviceReceives(data[k], arrival);
  }
  hostLineFreeAt_ = start + byteTime() * count;
  written = count;
  ok = true;
}

void CorvaneEmulator::Break(bool on) {
  const platform::MonoTime now = Now();
  if (on && !breakOn_) {
    breakSince_ = now;
  } else if (!on && breakOn_) {
    command_.clear();
    phase_ = Phase::Idle;
    if (now - breakSince_ >= kMinimumBreak) {
      phase_ = Phase::AwaitVersion;
      Answer(Command::Entry, {}, now);
    }
  }
  breakOn_ = on;
  events_.push_back({on ? LineEvent::Kind::BreakOn : LineEvent::Kind::BreakOff, now});
}

void CorvaneEmulator::DeviceReceives(BYTE value, platform::MonoTime at) {
  received_.push_back(value);
  if (phase_ == Phase::Idle) return;
  command_.push_back(value);
  if (command_[0] != kCommandLead) {
    command_.clear();
    return;
  }
  if (command_.size() < 2) return;
  const auto command = CommandFromCode(command_[1]);
  if (!command) {
    command_.clear();
    return;
  }
  if (command_.size() < CommandLength(*command)) return;

  static constexpr Command kExpected[] = {Command::Entry, Command::Version, Command::Mode,
                                          Command::ResetDelay, Command::Final};
  const Bytes bytes = std::move(command_);
  command_.clear();
  if (*command != kExpected[static_cast<int>(phase_)]) return;  // out of order: no answer
  if (silenceFrom_ && *command >= *silenceFrom_) return;
  switch (*command) {
    case Command::Version: phase_ = Phase::AwaitMode; break;
    case Command::Mode:
      (Refuses(*command, bytes) ? settings_.refusedModeClock : settings_.modeClock) = bytes[2];
      phase_ = Phase::AwaitResetDelay;
      break;
    case Command::ResetDelay:
      (Refuses(*command, bytes) ? settings_.refusedResetDelay : settings_.resetDelay) = bytes[2];
      phase_ = Phase::AwaitFinal;
      break;
    case Command::Final: settings_.finalReceived = true; phase_ = Phase::Idle; break;
    case Command::Entry: break;
  }
  Answer(*command, bytes, at);
}

void CorvaneEmulator::Answer(Command command, const Bytes& commandBytes, platform::MonoTime at) {
  if (silenceFrom_ && command >= *silenceFrom_) return;
  if (unplugAt_) return;  // an adapter on its way out answers nothing more
  answered_.push_back(command);
  Bytes reply = commandBytes;
  switch (command) {
    case Command::Entry: reply = entryReply; break;
    case Command::Version: reply.insert(reply.end(), {versionMinor, versionMajor, 0x10, kAck}); break;
    case Command::Mode:
    case Command::ResetDelay:
    case Command::Final: reply.push_back(kAck); break;
  }
  Send(std::move(reply), RuleFor(command, commandBytes), at);
}

const ReplyRule* CorvaneEmulator::RuleFor(Command command, const Bytes& commandBytes) const {
  if (auto exact = byteRules_.find(commandBytes); !commandBytes.empty() && exact != byteRules_.end()) {
    return &exact->second;
  }
  if (auto general = commandRules_.find(command); general != commandRules_.end()) return &general->second;
  return nullptr;
}

// A replaced reply is the device's own answer; patches, cuts and surplus are
// damage on the line after the device has taken the command.
bool CorvaneEmulator::Refuses(Command command, const Bytes& commandBytes) const {
  const ReplyRule* rule = RuleFor(command, commandBytes);
  return rule != nullptr && rule->replace && (rule->replace->empty() || rule->replace->back() != kAck);
}

void CorvaneEmulator::Send(Bytes reply, const ReplyRule* rule, platform::MonoTime from) {
  platform::Millis delay{0}, lastByteDelay{0};
  if (rule != nullptr) {
    if (rule->replace) reply = *rule->replace;
    for (const auto& [index, value] : rule->patch) {
      if (index < reply.size()) reply[index] = value;
    }
    if (rule->truncate && *rule->truncate < reply.size()) reply.resize(*rule->truncate);
    reply.insert(reply.end(), rule->surplus.begin(), rule->surplus.end());
    delay = rule->delay;
    lastByteDelay = rule->lastByteDelay;
  }
  if (reply.empty()) return;
  const platform::MonoTime start = std::max(from + delay, deviceLineFreeAt_);
  // A byte-time apart; the last one later still by its own delay.
  const BYTE last = reply.back();
  reply.pop_back();
  const std::size_t before = reply.size();
  toHost_.Push(start + byteTime(), byteTime(), std::move(reply));
  deviceLineFreeAt_ = start + byteTime() * static_cast<long long>(before + 1) + lastByteDelay;
  toHost_.Push(deviceLineFreeAt_, byteTime(), {last});
}

}  // namespace emulator
