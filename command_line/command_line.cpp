#include "command_line.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace command_line {

GnuParser::GnuParser() {
  options_ = {{"help", Kind::Flag}, {"version", Kind::Flag}};
  shortNames_ = {{'h', "help"}, {'V', "version"}};
}

void GnuParser::AddFlag(const std::string& name) { options_[name] = Kind::Flag; }
void GnuParser::AddValue(const std::string& name) { options_[name] = Kind::Value; }
void GnuParser::AddOptionalValue(const std::string& name) { options_[name] = Kind::OptionalValue; }

// The whole name `given` stands for: itself, or the one name it begins.
std::optional<std::string> GnuParser::LongName(const std::string& given, std::string& name) const {
  if (options_.count(given) != 0) {
    name = given;
    return std::nullopt;
  }
  std::vector<std::string> candidates;
  for (const auto& [known, kind] : options_) {
    if (known.compare(0, given.size(), given) == 0) candidates.push_back(known);
  }
  if (candidates.size() == 1) {
    name = candidates.front();
    return std::nullopt;
  }
  if (candidates.empty()) return "Unknown option '--" + given + "'.";
  std::string message = "option '--" + given + "' is ambiguous; possibilities:";
  for (const std::string& candidate : candidates) message += " '--" + candidate + "'";
  return message;
}

std::optional<std::string> GnuParser::Parse(const std::vector<std::string>& arguments) {
  set_.clear();
  values_.clear();
  positional_.clear();
  bool optionsEnded = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
    } else if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
      positional_.push_back(argument);
    } else if (argument[1] != '-') {
      // Short options, which may be run together (-hV).
      for (std::size_t k = 1; k < argument.size(); ++k) {
        const auto found = shortNames_.find(argument[k]);
        if (found == shortNames_.end()) return "Unknown option '-" + argument.substr(k, 1) + "'.";
        set_.insert(found->second);
      }
    } else {
      const std::size_t equals = argument.find('=');
      const std::string given = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
      std::string name;
      if (auto problem = LongName(given, name)) return problem;
      const bool hasValue = equals != std::string::npos;
      const std::string value = hasValue ? argument.substr(equals + 1) : std::string();
      switch (options_.at(name)) {
        case Kind::Flag:
          if (hasValue) return "Unexpected value after '--" + name + "'.";
          break;
        case Kind::Value:
          if (hasValue) {
            values_[name].push_back(value);
          } else if (i + 1 < arguments.size()) {
            values_[name].push_back(arguments[++i]);  // may start with dashes, as with getopt
          } else {
            return "Missing value after '--" + name + "'.";
          }
          break;
        case Kind::OptionalValue:
          if (hasValue) {
            values_[name].push_back(value);
          } else if (i + 1 < arguments.size() && !arguments[i + 1].empty() && arguments[i + 1][0] != '-') {
            values_[name].push_back(arguments[++i]);
          }
          break;
      }
      set_.insert(name);
    }
  }
  return std::nullopt;
}

std::optional<std::string> GnuParser::Value(const std::string& name) const {
  const auto found = values_.find(name);
  if (found == values_.end()) return std::nullopt;
  return found->second.back();
}

std::vector<std::string> GnuParser::Values(const std::string& name) const {
  const auto found = values_.find(name);
  return found == values_.end() ? std::vector<std::string>{} : found->second;
}

std::string HelpFooter() {
  return "\n"
         "Report bugs to: support@veltra-software.example\n"
         "Home page: <https://www.veltra-software.example/>\n";
}

std::string VersionText(const std::string& program, const std::string& version) {
  std::string text = program;
  text += " ";
  text += version;
  text +=
      "\n"
      "Copyright (C) 2026 Veltra Software.\n"
      "License: proprietary; all rights reserved.\n"
      "There is NO WARRANTY, to the extent permitted by law.\n";
  return text;
}

std::string UsageErrorText(const std::string& program, const std::string& message) {
  std::string text = program;
  text += ": ";
  text += message;
  text += "\nTry '";
  text += program;
  text += " --help' for more information.\n";
  return text;
}

int FinishStandardOutput(const std::string& program, int earlierError) {
  int error = earlierError;
  if (error == 0 && std::fflush(stdout) != 0) error = errno;
  if (error == 0 && std::ferror(stdout)) error = EIO;  // a failed write nobody flushed
  if (error == 0 || error == EPIPE) return 0;
  std::fprintf(stderr, "%s: standard output: %s\n", program.c_str(), std::strerror(error));
  return 1;
}

}  // namespace command_line
