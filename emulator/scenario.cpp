#include "scenario.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "hex.h"

namespace emulator {
namespace {

// A command text as sent ("2A 42 81") or its first two bytes ("2A 42").
std::optional<std::string> RuleFor(const QString& keyText, CorvaneEmulator& device, ReplyRule*& rule) {
  const auto key = ParseHexText(keyText.toStdString());
  if (!key || !CommandOfBytes(*key) || key->size() > 3) {
    // Appended piecewise: GCC 12 warns falsely (-Wrestrict) on "literal" + temporary.
    std::string problem = "'";
    problem += keyText.toStdString();
    problem += "' is not a command of the interface (2A 41, 2A 42 xx, 2A 44 xx, 2A 43)";
    return problem;
  }
  rule = key->size() == 2 ? &device.Rule(*CommandOfBytes(*key)) : &device.RuleForBytes(*key);
  return std::nullopt;
}

// Both counted from 1; the column in bytes, as editors that show bytes do.
std::pair<std::size_t, std::size_t> LineAndColumn(const std::string& text, std::size_t offset) {
  offset = std::min(offset, text.size());
  const auto end = text.begin() + static_cast<std::ptrdiff_t>(offset);
  const std::size_t line = 1 + static_cast<std::size_t>(std::count(text.begin(), end, '\n'));
  const std::size_t lineStart = offset == 0 ? 0 : text.rfind('\n', offset - 1);
  return {line, lineStart == std::string::npos || offset == 0 ? offset + 1 : offset - lineStart};
}

std::optional<int> Milliseconds(const QJsonValue& value, int lowest) {
  if (!value.isDouble()) return std::nullopt;
  const double ms = value.toDouble();
  if (ms != static_cast<int>(ms) || ms < lowest || ms > 3'600'000) return std::nullopt;
  return static_cast<int>(ms);
}

}  // namespace

std::optional<Bytes> ParseHexText(const std::string& text) {
  using platform::HexDigitValue;
  Bytes bytes;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    if (i + 1 >= text.size() || HexDigitValue(text[i]) < 0 || HexDigitValue(text[i + 1]) < 0) return std::nullopt;
    bytes.push_back(static_cast<BYTE>(HexDigitValue(text[i]) * 16 + HexDigitValue(text[i + 1])));
    i += 2;
  }
  return bytes;
}

std::optional<std::string> ApplyScenario(const std::string& json, CorvaneEmulator& device) {
  QJsonParseError parseError{};
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &parseError);
  if (parseError.error != QJsonParseError::NoError) {
    const auto [line, column] = LineAndColumn(json, static_cast<std::size_t>(parseError.offset));
    std::string problem = "not valid JSON at line ";
    problem += std::to_string(line);
    problem += ", column ";
    problem += std::to_string(column);
    problem += ": ";
    problem += parseError.errorString().toStdString();
    return problem;
  }
  if (!document.isObject()) return "the scenario must be a JSON object";
  const QJsonObject root = document.object();
  for (auto it = root.begin(); it != root.end(); ++it) {
    const std::string key = it.key().toStdString();
    const QJsonValue value = it.value();
    auto bad = [&](const std::string& expected) { return "\"" + key + "\" must be " + expected; };
    if (key == "entry" || key == "pending") {
      const auto bytes = value.isString() ? ParseHexText(value.toString().toStdString()) : std::nullopt;
      if (!bytes) return bad("hex text such as \"06\"");
      (key == "entry" ? device.entryReply : device.pendingAtOpen) = *bytes;
    } else if (key == "version") {
      const QJsonArray pair = value.toArray();
      if (!value.isArray() || pair.size() != 2 || !pair[0].isDouble() || !pair[1].isDouble() ||
          pair[0].toInt(-1) < 0 || pair[0].toInt(-1) > 255 || pair[1].toInt(-1) < 0 || pair[1].toInt(-1) > 255) {
        return bad("[major, minor], each 0 to 255");
      }
      device.versionMajor = static_cast<BYTE>(pair[0].toInt());
      device.versionMinor = static_cast<BYTE>(pair[1].toInt());
    } else if (key == "card") {
      const auto ms = Milliseconds(value, -1);
      if (!ms) return bad("milliseconds until the card is taken out, or -1 for never");
      device.InsertCard(*ms < 0 ? CorvaneEmulator::kCardNeverRemoved : std::chrono::milliseconds(*ms));
    } else if (key == "replies" || key == "delays") {
      if (!value.isObject()) return bad("an object from command text to " +
                                        std::string(key == "replies" ? "hex text" : "milliseconds"));
      const QJsonObject table = value.toObject();
      for (auto entry = table.begin(); entry != table.end(); ++entry) {
        ReplyRule* rule = nullptr;
        if (auto problem = RuleFor(entry.key(), device, rule)) return "\"" + key + "\": " + *problem;
        if (key == "replies") {
          const auto bytes = entry.value().isString() ? ParseHexText(entry.value().toString().toStdString())
                                                      : std::nullopt;
          if (!bytes) return "\"replies\": the reply to " + entry.key().toStdString() + " must be hex text";
          rule->replace = *bytes;
        } else {
          const auto ms = Milliseconds(entry.value(), 0);
          if (!ms) return "\"delays\": the delay of " + entry.key().toStdString() + " must be milliseconds from 0";
          rule->delay = std::chrono::milliseconds(*ms);
        }
      }
    } else if (key == "faults") {
      if (!value.isObject()) return bad("an object from a step (\"entry\" or a command text) to a fault name");
      const QJsonObject table = value.toObject();
      for (auto entry = table.begin(); entry != table.end(); ++entry) {
        const std::string step = entry.key().toStdString();
        const auto bytes = ParseHexText(step);
        const auto command = step == "entry" ? std::optional<Command>(Command::Entry)
                             : bytes && bytes->size() == 2 ? CommandOfBytes(*bytes)
                                                           : std::nullopt;
        if (!command) return "\"faults\": '" + step + "' is not a step (entry, 2A 41, 2A 42, 2A 44, 2A 43)";
        const auto fault = entry.value().isString() ? FaultFromName(entry.value().toString().toStdString())
                                                    : std::nullopt;
        if (!fault) {
          std::string names;
          for (Fault known : kAllFaults) names += std::string(names.empty() ? "" : ", ") + FaultName(known);
          return "\"faults\": the fault of " + step + " must be one of: " + names;
        }
        device.Inject(*command, *fault);
      }
    } else if (key == "open") {
      const auto refusal = value.isString() ? OpenRefusalFromName(value.toString().toStdString())
                                            : std::nullopt;
      if (!refusal) return bad("one of: missing, permission, in-use");
      device.RefuseOpen(*refusal);
    } else if (key == "unplug") {
      const auto bytes = value.isString() ? ParseHexText(value.toString().toStdString()) : std::nullopt;
      const auto command = bytes ? CommandOfBytes(*bytes) : std::nullopt;
      if (!command) return bad("a command text such as \"2A 44\"");
      device.UnplugFrom(*command);
    } else {
      return "unknown key \"" + key + "\" (known: entry, version, card, pending, replies, delays, faults, unplug, open)";
    }
  }
  return std::nullopt;
}

std::optional<std::string> LoadScenarioFile(const std::string& path, CorvaneEmulator& device) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return "cannot read " + path + ": " + file.errorString().toStdString();
  // Read whole, but never without end (a FIFO, /dev/zero).
  QByteArray bytes;
  while (bytes.size() <= kScenarioLimit) {
    const QByteArray chunk = file.read(kScenarioLimit + 1 - bytes.size());
    if (chunk.isEmpty()) break;
    bytes += chunk;
  }
  if (file.error() != QFileDevice::NoError) return "cannot read " + path + ": " + file.errorString().toStdString();
  if (bytes.size() > kScenarioLimit) return path + ": larger than 16 MiB; a scenario is a few lines of JSON";
  if (auto problem = ApplyScenario(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())), device)) {
    return path + ": " + *problem;
  }
  return std::nullopt;
}

namespace {

std::string ModeClockText(BYTE modeClock) {
  static const char* const clocks[] = {"unknown clock (code 0)", "3.58 MHz", "3.68 MHz", "6.00 MHz"};
  std::string text = "mode ";
  text += (modeClock & 0x80) != 0 ? "SmartMouse" : "Corvane";
  text += ", clock ";
  text += clocks[modeClock & 0x03];
  return text;
}

std::string ResetDelayText(BYTE resetDelay) {
  return resetDelay == 0 ? "reset delay enabled" : "reset delay disabled";
}

}  // namespace

std::string DescribeDevice(const CorvaneEmulator& device) {
  const auto& set = device.settings();
  std::vector<std::string> refused;
  if (set.refusedModeClock) refused.push_back(ModeClockText(*set.refusedModeClock));
  if (set.refusedResetDelay) refused.push_back(ResetDelayText(*set.refusedResetDelay));
  std::string refusals;
  for (const std::string& part : refused) refusals += (refusals.empty() ? "" : "; ") + part;

  if (!set.modeClock && !set.resetDelay) {
    if (refusals.empty()) return "The simulated interface was not configured.";
    return "The simulated interface was not configured: it refused " + refusals + ".";
  }
  std::vector<std::string> parts;
  if (set.modeClock) parts.push_back(ModeClockText(*set.modeClock));
  if (set.resetDelay) parts.push_back(ResetDelayText(*set.resetDelay));
  parts.push_back(set.finalReceived ? "final command received" : "no final command");
  std::string text = "The simulated interface was set to:";
  for (std::size_t i = 0; i < parts.size(); ++i) text += (i == 0 ? " " : ", ") + parts[i];
  text += ".";
  if (!refusals.empty()) text += " It refused " + refusals + ".";
  return text;
}

}  // namespace emulator
