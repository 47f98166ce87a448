#include "scenario.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <type_traits>
#include <nlohmann/json.hpp>

#include "hex.h"
#include "quoted_name.h"

namespace emulator {
namespace {

using Json = nlohmann::json;

// A command text as sent ("2A 42 81") or its first two bytes ("2A 42").
std::optional<std::string> RuleFor(const std::string& keyText, CorvaneEmulator& device, ReplyRule*& rule) {
  const auto key = ParseHexText(keyText);
  if (!key || !CommandOfBytes(*key) || key->size() > 3) {
    // Appended piecewise: GCC 12 warns falsely (-Wrestrict) on "literal" + temporary.
    std::string problem = "'";
    problem += keyText;
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

std::optional<int> Milliseconds(const Json& value, int lowest) {
  if (!value.is_number()) return std::nullopt;
  const double ms = value.get<double>();
  if (ms < lowest || ms > 3'600'000 || ms != static_cast<int>(ms)) return std::nullopt;
  return static_cast<int>(ms);
}

std::optional<std::string> Text(const Json& value) {
  if (!value.is_string()) return std::nullopt;
  return value.get<std::string>();
}

std::optional<Bytes> HexText(const Json& value) {
  const auto text = Text(value);
  return text ? ParseHexText(*text) : std::nullopt;
}

std::optional<BYTE> ByteNumber(const Json& value) {
  if (!value.is_number_integer()) return std::nullopt;
  const auto number = value.get<long long>();
  if (number < 0 || number > 255) return std::nullopt;
  return static_cast<BYTE>(number);
}

// What nlohmann says, without its "[json.exception...]" prefix and the
// "parse error at ...: syntax error while parsing value - " preamble.
std::string Detail(const std::string& what) {
  std::string detail = what;
  if (const auto dash = detail.find(" - "); dash != std::string::npos) {
    detail.erase(0, dash + 3);
  } else if (const auto bracket = detail.find("] "); bracket != std::string::npos) {
    detail.erase(0, bracket + 2);
  }
  // What was last read may be long and unprintable; the position says where.
  if (const auto lastRead = detail.find("last read: '"); lastRead != std::string::npos) {
    const auto end = detail.rfind("'; ");
    detail.erase(lastRead, end == std::string::npos || end < lastRead ? std::string::npos : end + 3 - lastRead);
    while (!detail.empty() && (detail.back() == ' ' || detail.back() == ';')) detail.pop_back();
  }
  return detail;
}

// "<what> at line 3, column 10<detail>"
std::string AtPosition(const std::string& text, std::size_t offset, const std::string& what,
                       const std::string& detail) {
  const auto [line, column] = LineAndColumn(text, offset);
  std::string problem = what;
  problem += " at line ";
  problem += std::to_string(line);
  problem += ", column ";
  problem += std::to_string(column);
  problem += detail;
  return problem;
}

// A scenario is a few lines of JSON: far deeper nesting or far more values
// than any scenario has is refused before the parser builds anything, so that
// 16 MiB of any shape costs little time and memory.
constexpr int kMaxNesting = 16;
constexpr std::size_t kMaxValues = 10'000;

std::optional<std::string> ShapeProblem(const std::string& text) {
  int depth = 0;
  std::size_t separators = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') ++i;
      else if (c == '"') inString = false;
      continue;
    }
    if (c == '"') {
      inString = true;
    } else if (c == '{' || c == '[') {
      if (++depth > kMaxNesting) {
        return AtPosition(text, i, "nested deeper than " + std::to_string(kMaxNesting) + " levels", "");
      }
    } else if (c == '}' || c == ']') {
      depth = std::max(depth - 1, 0);
    } else if (c == ',' && ++separators >= kMaxValues) {
      return AtPosition(text, i, "more than " + std::to_string(kMaxValues) + " values", "");
    }
  }
  return std::nullopt;
}

// The DOM parser, but a failure is kept with its place in the text instead of
// thrown: a syntax error, and a number beyond a double ("1e400") too.
class PlacedDomParser : public nlohmann::detail::json_sax_dom_parser<Json> {
 public:
  PlacedDomParser(Json& root, const std::string& text) : json_sax_dom_parser(root, false), text_(text) {}

  template <class Exception>
  bool parse_error(std::size_t position, const std::string& token, const Exception& error) {
    if constexpr (std::is_same_v<Exception, Json::parse_error>) {
      const std::size_t offset = error.byte == 0 ? 0 : error.byte - 1;
      problem = AtPosition(text_, offset, "not valid JSON", ": " + Detail(error.what()));
    } else {
      // The position is just past the number: point at its start.
      const std::size_t start = position >= token.size() ? position - token.size() : 0;
      problem = AtPosition(text_, start, "number out of range", ": " + token);
    }
    return false;
  }

  std::optional<std::string> problem;

 private:
  const std::string& text_;
};

std::optional<std::string> ParseJson(const std::string& text, Json& root) {
  if (auto problem = ShapeProblem(text)) return problem;
  PlacedDomParser parser(root, text);
  if (!Json::sax_parse(text, &parser)) return parser.problem.value_or("not valid JSON");
  return std::nullopt;
}

// How a message names the scenario's file; "-" is standard input.
std::string ScenarioName(const std::string& path) {
  return path == "-" ? "standard input" : platform::QuotedName(path);
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
  Json root;
  if (auto problem = ParseJson(json, root)) return problem;
  if (!root.is_object()) return "the scenario must be a JSON object";
  // Named references, not a structured binding: clang 14 cannot capture one in a lambda.
  for (const auto& item : root.items()) {
    const std::string& key = item.key();
    const Json& value = item.value();
    auto bad = [&](const std::string& expected) { return "\"" + key + "\" must be " + expected; };
    if (key == "entry" || key == "pending") {
      const auto bytes = HexText(value);
      if (!bytes) return bad("hex text such as \"06\"");
      (key == "entry" ? device.entryReply : device.pendingAtOpen) = *bytes;
    } else if (key == "version") {
      const auto major = value.is_array() && value.size() == 2 ? ByteNumber(value[0]) : std::nullopt;
      const auto minor = value.is_array() && value.size() == 2 ? ByteNumber(value[1]) : std::nullopt;
      if (!major || !minor) return bad("[major, minor], each 0 to 255");
      device.versionMajor = *major;
      device.versionMinor = *minor;
    } else if (key == "card") {
      const auto ms = Milliseconds(value, -1);
      if (!ms) return bad("milliseconds until the card is taken out, or -1 for never");
      device.InsertCard(*ms < 0 ? CorvaneEmulator::kCardNeverRemoved : std::chrono::milliseconds(*ms));
    } else if (key == "replies" || key == "delays") {
      if (!value.is_object()) return bad("an object from command text to " +
                                         std::string(key == "replies" ? "hex text" : "milliseconds"));
      for (const auto& [command, setting] : value.items()) {
        ReplyRule* rule = nullptr;
        if (auto problem = RuleFor(command, device, rule)) return "\"" + key + "\": " + *problem;
        if (key == "replies") {
          const auto bytes = HexText(setting);
          if (!bytes) return "\"replies\": the reply to " + command + " must be hex text";
          rule->replace = *bytes;
        } else {
          const auto ms = Milliseconds(setting, 0);
          if (!ms) return "\"delays\": the delay of " + command + " must be milliseconds from 0";
          rule->delay = std::chrono::milliseconds(*ms);
        }
      }
    } else if (key == "faults") {
      if (!value.is_object()) return bad("an object from a step (\"entry\" or a command text) to a fault name");
      for (const auto& [step, name] : value.items()) {
        const auto bytes = ParseHexText(step);
        const auto command = step == "entry" ? std::optional<Command>(Command::Entry)
                             : bytes && bytes->size() == 2 ? CommandOfBytes(*bytes)
                                                           : std::nullopt;
        if (!command) return "\"faults\": '" + step + "' is not a step (entry, 2A 41, 2A 42, 2A 44, 2A 43)";
        const auto text = Text(name);
        const auto fault = text ? FaultFromName(*text) : std::nullopt;
        if (!fault) {
          std::string names;
          for (Fault known : kAllFaults) names += std::string(names.empty() ? "" : ", ") + FaultName(known);
          return "\"faults\": the fault of " + step + " must be one of: " + names;
        }
        device.Inject(*command, *fault);
      }
    } else if (key == "open") {
      const auto text = Text(value);
      const auto refusal = text ? OpenRefusalFromName(*text) : std::nullopt;
      if (!refusal) return bad("one of: missing, permission, in-use");
      device.RefuseOpen(*refusal);
    } else if (key == "unplug") {
      const auto bytes = HexText(value);
      const auto command = bytes ? CommandOfBytes(*bytes) : std::nullopt;
      if (!command) return bad("a command text such as \"2A 44\"");
      device.UnplugFrom(*command);
    } else {
      return "unknown key \"" + key + "\" (known: entry, version, card, pending, replies, delays, faults, unplug, open)";
    }
  }
  return std::nullopt;
}

std::optional<std::string> ReadScenarioFile(const std::string& path, std::string& text) {
  const bool standardInput = path == "-";
  const auto keepOpen = [](std::FILE*) { return 0; };  // standard input stays the program's
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(standardInput ? stdin : std::fopen(path.c_str(), "rb"),
                                                             standardInput ? +keepOpen : &std::fclose);
  const std::string name = ScenarioName(path);
  auto cannotRead = [&] { return "cannot read " + name + ": " + std::strerror(errno); };
  if (!file) return cannotRead();
  // Read whole, but never without end (a FIFO, /dev/zero).
  text.clear();
  if (!standardInput) {
    std::error_code noSize;  // a FIFO or a device: grown as it is read
    const auto size = std::filesystem::file_size(path, noSize);
    if (!noSize) text.reserve(std::min<std::uintmax_t>(size, kScenarioLimit + 1));
  }
  char chunk[65536];
  while (text.size() <= static_cast<std::size_t>(kScenarioLimit)) {
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
    text.append(chunk, got);
    if (got < sizeof chunk) break;
  }
  if (std::ferror(file.get())) return cannotRead();
  if (text.size() > static_cast<std::size_t>(kScenarioLimit)) {
    return name + ": larger than 16 MiB; a scenario is a few lines of JSON";
  }
  return std::nullopt;
}

std::optional<std::string> ApplyScenarioFrom(const std::string& path, const std::string& text,
                                             CorvaneEmulator& device) {
  if (auto problem = ApplyScenario(text, device)) {
    return ScenarioName(path) + ": " + *problem;
  }
  return std::nullopt;
}

std::optional<std::string> LoadScenarioFile(const std::string& path, CorvaneEmulator& device) {
  std::string text;
  if (auto problem = ReadScenarioFile(path, text)) return problem;
  return ApplyScenarioFrom(path, text, device);
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
