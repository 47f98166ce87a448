#include "registry_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "hex.h"

namespace platform::registry {

bool NameLess::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";

std::string Quote(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + '"';
}

// A string value shown as text only when it reads back to the same bytes.
bool PrintableString(const std::vector<std::uint8_t>& data) {
  if (data.empty() || data.back() != 0) return false;
  for (std::size_t i = 0; i + 1 < data.size(); ++i) {
    if (data[i] < 0x20 || data[i] == 0x7F) return false;
  }
  return true;
}

void AppendHexData(std::string& line, const std::vector<std::uint8_t>& data) {
  std::size_t width = line.size();
  for (std::size_t i = 0; i < data.size(); ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02x", data[i]);
    line += byte;
    width += 2;
    if (i + 1 < data.size()) {
      line += ',';
      ++width;
      if (width >= 76) {
        line += "\\\r\n  ";
        width = 2;
      }
    }
  }
}

// One to eight hex digits, as a dword or a type code is written.
std::optional<std::uint32_t> HexNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : digits) {
    if (HexDigitValue(c) < 0) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(HexDigitValue(c));
  }
  return value;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// Reads a quoted text with \\ and \" escapes from the front of `text`.
std::optional<std::string> TakeQuoted(std::string_view& text) {
  if (text.empty() || text.front() != '"') return std::nullopt;
  std::string out;
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\') {
      if (i + 1 >= text.size()) return std::nullopt;
      out += text[++i];
    } else if (c == '"') {
      text.remove_prefix(i + 1);
      return out;
    } else {
      out += c;
    }
  }
  return std::nullopt;
}

class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}
  bool Next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    const std::size_t end = text_.find('\n', pos_);
    const std::size_t stop = end == std::string_view::npos ? text_.size() : end;
    line = text_.substr(pos_, stop - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = stop + 1;
    ++number_;
    return true;
  }
  int number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  int number_ = 0;
};

std::optional<std::string> ParseHexBytes(std::string_view text, Lines& lines, std::vector<std::uint8_t>& out) {
  for (;;) {
    text = Trim(text);
    bool continued = false;
    if (!text.empty() && text.back() == '\\') {
      continued = true;
      text.remove_suffix(1);
    }
    while (!text.empty()) {
      text = Trim(text);
      if (text.empty()) break;
      if (text.size() < 2 || HexDigitValue(text[0]) < 0 || HexDigitValue(text[1]) < 0) return "malformed hex data";
      out.push_back(static_cast<std::uint8_t>(HexDigitValue(text[0]) * 16 + HexDigitValue(text[1])));
      text.remove_prefix(2);
      text = Trim(text);
      if (!text.empty()) {
        if (text.front() != ',') return "malformed hex data";
        text.remove_prefix(1);
        if (Trim(text).empty() && !continued) return "hex data ends with a comma";
      }
    }
    if (!continued) return std::nullopt;
    std::string_view next;
    if (!lines.Next(next)) return "hex data continues past the end of the file";
    text = next;
  }
}

}  // namespace

Value DwordValue(std::uint32_t value) {
  return {REG_DWORD,
          {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
           static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)}};
}

std::uint32_t DwordFromBytes(const std::uint8_t* data, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < size && i < 4; ++i) value |= static_cast<std::uint32_t>(data[i]) << (8 * i);
  return value;
}

std::string FormatKeyFile(const KeyFile& key) {
  std::string text = std::string(kHeader) + "\r\n\r\n[" + key.path + "]\r\n";
  for (const auto& [name, value] : key.values) {
    std::string line = (name.empty() ? std::string("@") : Quote(name)) + "=";
    if (value.type == REG_DWORD && value.data.size() == 4) {
      char number[16];
      std::snprintf(number, sizeof number, "dword:%08x", DwordFromBytes(value.data.data(), 4));
      line += number;
    } else if (value.type == REG_SZ && PrintableString(value.data)) {
      line += Quote(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1));
    } else {
      if (value.type == REG_BINARY) {
        line += "hex:";
      } else {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
        line += prefix;
      }
      AppendHexData(line, value.data);
    }
    text += line + "\r\n";
  }
  return text + "\r\n";
}

std::optional<ParseError> ParseKeyFile(std::string_view text, KeyFile& key) {
  key = {};
  if (text.size() > kMaxKeyFileSize) return ParseError{0, "the file is too large to be a settings key"};
  if (text.find('\0') != std::string_view::npos) return ParseError{0, "the file holds binary data, not text"};
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

  Lines lines(text);
  std::string_view line;
  bool sawHeader = false, sawKey = false;
  while (lines.Next(line)) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';') continue;
    auto fail = [&](std::string message) { return ParseError{lines.number(), std::move(message)}; };
    if (!sawHeader) {
      if (trimmed != kHeader && trimmed != kOldHeader) {
        return fail("not a registry file: expected \"" + std::string(kHeader) + "\"");
      }
      sawHeader = true;
      continue;
    }
    if (trimmed.front() == '[') {
      if (sawKey) return fail("more than one key in the file");
      if (trimmed.back() != ']' || trimmed.size() < 3) return fail("malformed key line");
      key.path = std::string(trimmed.substr(1, trimmed.size() - 2));
      sawKey = true;
      continue;
    }
    if (!sawKey) return fail("value before the key line");

    std::string_view rest = trimmed;
    std::string name;
    if (rest.front() == '@') {
      rest.remove_prefix(1);
    } else if (auto quoted = TakeQuoted(rest)) {
      name = std::move(*quoted);
    } else {
      return fail("malformed value name");
    }
    rest = Trim(rest);
    if (rest.empty() || rest.front() != '=') return fail("missing '=' after the value name");
    rest = Trim(rest.substr(1));

    Value value;
    if (rest.substr(0, 1) == "\"") {
      auto quoted = TakeQuoted(rest);
      if (!quoted || !Trim(rest).empty()) return fail("malformed text value");
      value.type = REG_SZ;
      value.data.assign(quoted->begin(), quoted->end());
      value.data.push_back(0);
    } else if (rest.substr(0, 6) == "dword:") {
      const auto number = HexNumber(rest.substr(6));
      if (!number) return fail("a dword needs 1 to 8 hex digits");
      value = DwordValue(*number);
    } else if (rest.substr(0, 3) == "hex") {
      rest.remove_prefix(3);
      value.type = REG_BINARY;
      if (rest.substr(0, 1) == "(") {
        const std::size_t close = rest.find(')');
        const auto type = close == std::string_view::npos ? std::nullopt : HexNumber(rest.substr(1, close - 1));
        if (!type) return fail("malformed hex type");
        value.type = *type;
        rest.remove_prefix(close + 1);
      }
      if (rest.substr(0, 1) != ":") return fail("missing ':' after hex");
      if (auto problem = ParseHexBytes(rest.substr(1), lines, value.data)) return fail(*problem);
    } else {
      return fail("unknown value form");
    }
    key.values[name] = std::move(value);
  }
  if (!sawHeader) return ParseError{lines.number(), "empty file: no registry header"};
  if (!sawKey) return ParseError{lines.number(), "no key line in the file"};
  return std::nullopt;
}

}  // namespace platform::registry
