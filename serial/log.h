// Optional text log of the serial traffic.
#pragma once

#include <cstdint>
#include <string>

#include "append_file.h"

class TSerialPort;

class TTrafficLog {
 public:
  bool Enabled = false;
  bool TimeStamps = false;
  std::string FileName;
  platform::AppendFile FileHandle;  // not opened until the first record
  double StartTime = 0.0;           // date-time value from which stamps count
  double LastElapsed = 0.0;         // milliseconds, before truncation

  void WriteRecord(std::string record);
  void OpenFile();
};

// The 9-character stamp for an elapsed count of milliseconds.
std::string TimeStamp(double elapsedMillis);
// The records Write and Read hand to the sink.
std::string TransmitRecord(const TSerialPort& port, std::int32_t count);
std::string ReceiveRecord(const TSerialPort& port, std::int32_t count);
// The opening header's date-time text, in the locale's short date and long time.
std::string DateTimeText(double dateTime);

extern TTrafficLog* LogSink;

// A trace of the serial traffic into `path`, time-stamped, hex, attached to
// SerialPort for the lifetime of the object (the command line's and the
// window's --trace).
class TTrace {
 public:
  explicit TTrace(std::string path);
  ~TTrace();
  TTrace(const TTrace&) = delete;
  TTrace& operator=(const TTrace&) = delete;

  // Why the trace could not be opened or written, in words; empty when it could.
  std::string Problem() const;

 private:
  TTrafficLog log_;
};
