#include "log.h"

#include <clocale>
#include <cmath>
#include <cstring>
#include <ctime>

#include "Scom.h"
#include "clock.h"
#include "hex.h"
#include "quoted_name.h"

TTrafficLog* LogSink = nullptr;

namespace {

void InsertAtFirst(std::string& record, const std::string& marker, const std::string& insert) {
  const std::size_t at = record.find(marker);
  if (at != std::string::npos) record.insert(at + 1, insert);
}

}  // namespace

std::string TimeStamp(double elapsedMillis) {
  // Truncated toward zero, low 32 bits kept as a signed value.
  const double truncated = std::trunc(elapsedMillis);
  std::int64_t whole = 0;
  if (std::isfinite(truncated)) {
    whole = static_cast<std::int64_t>(std::fmod(truncated, 4294967296.0));
  }
  const auto low = static_cast<std::int32_t>(static_cast<std::uint32_t>(whole));
  const std::string padded = "00000000" + std::to_string(low);
  return padded.substr(padded.size() - 8) + " ";
}

std::string TransmitRecord(const TSerialPort& port, std::int32_t count) {
  std::string text;
  const auto& tx = port.TxBuffer;
  if (port.LogHex) {
    text = "\r\n>";
    text += static_cast<char>(tx[0]);
    text += static_cast<char>(tx[1]);
    text += '[';
    platform::AppendHexByte(text, tx[1]);
    text += ']';
    for (std::int32_t i = 2; i < count; ++i) {
      text += ' ';
      platform::AppendHexByte(text, tx[static_cast<std::size_t>(i)]);
    }
  }
  if (port.LogDecimal) {
    for (std::int32_t i = 2; i < count; ++i) text += std::to_string(tx[static_cast<std::size_t>(i)]);
  }
  text += "\r\n<";
  return text;
}

std::string ReceiveRecord(const TSerialPort& port, std::int32_t count) {
  std::string text;
  const std::int32_t first = port.RxCount - count;
  if (port.LogHex) {
    for (std::int32_t i = first; i < port.RxCount; ++i) {
      text += ' ';
      platform::AppendHexByte(text, port.RxBuffer[static_cast<std::size_t>(i)]);
    }
  }
  if (port.LogDecimal) {
    for (std::int32_t i = first; i < port.RxCount; ++i) {
      text += std::to_string(port.RxBuffer[static_cast<std::size_t>(i)]);
    }
  }
  return text;
}

std::string DateTimeText(double dateTime) {
  const platform::CivilDateTime civil = platform::DecodeDateTime(dateTime);
  std::tm given{};
  given.tm_year = civil.year - 1900;
  given.tm_mon = civil.month - 1;
  given.tm_mday = civil.day;
  given.tm_hour = civil.hour;
  given.tm_min = civil.minute;
  given.tm_sec = civil.second;
  given.tm_isdst = -1;
  // Through the time zone's own rules and back: the weekday, daylight saving
  // and the zone's name are filled in, as the locale's formats may show them.
  const std::time_t instant = std::mktime(&given);
  std::tm local{};
  if (instant == static_cast<std::time_t>(-1) || !platform::LocalTime(instant, local)) local = given;
  char date[128] = {};
  char time[128] = {};
  std::strftime(date, sizeof date, "%x", &local);
  std::string text = date;
  if (civil.hour != 0 || civil.minute != 0 || civil.second != 0) {
    std::strftime(time, sizeof time, "%X", &local);
    text += ' ';
    text += time;
  }
  return text;
}

void TTrafficLog::OpenFile() {
  FileHandle = platform::AppendFile::OpenExclusive(FileName);
  FileHandle.Write("\r\n\r\n" + DateTimeText(platform::CurrentClock().LocalDateTime()) + "\r\n");
}

void TTrafficLog::WriteRecord(std::string record) {
  if (!Enabled) return;
  if (FileHandle.IsNotOpened()) OpenFile();
  if (TimeStamps) {
    LastElapsed = (platform::CurrentClock().LocalDateTime() - StartTime) * 24 * 60 * 60 * 1000;
    InsertAtFirst(record, "\n>", TimeStamp(LastElapsed));
    InsertAtFirst(record, "\n<", std::string(9, ' '));
  }
  FileHandle.Write(record);
}

TTrace::TTrace(std::string path) {
  log_.Enabled = true;
  log_.TimeStamps = true;
  log_.FileName = std::move(path);
  log_.StartTime = platform::CurrentClock().LocalDateTime();
  SerialPort.LogHex = true;
  SerialPort.LogTraffic = true;
  LogSink = &log_;
}

TTrace::~TTrace() {
  if (LogSink == &log_) LogSink = nullptr;
  SerialPort.LogTraffic = false;
}

std::string TTrace::Problem() const {
  const int problem = log_.FileHandle.Problem();
  return problem == 0 ? std::string() : "trace " + platform::QuotedName(log_.FileName) + ": " + std::strerror(problem);
}
