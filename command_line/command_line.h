// Options the GNU way, shared by the window and the command line:
// --opt value and --opt=value, "--", -h/--help and -V/--version, unambiguous
// abbreviations of long options, and options whose value may be left out
// (--simulate [FILE]). Needs nothing but the standard library, so the
// command line builds without Qt.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace command_line {

class GnuParser {
 public:
  GnuParser();  // knows -h/--help and -V/--version

  void AddFlag(const std::string& name);
  void AddValue(const std::string& name);
  // --name, --name=VALUE, or --name VALUE when VALUE does not start with '-'.
  void AddOptionalValue(const std::string& name);

  // The arguments start with the program's name. Returns the problem, if any.
  std::optional<std::string> Parse(const std::vector<std::string>& arguments);

  bool IsSet(const std::string& name) const { return set_.count(name) != 0; }
  // The last value given, as a later option overrides an earlier one.
  std::optional<std::string> Value(const std::string& name) const;
  // Every value given, in order, for an option that may be repeated.
  std::vector<std::string> Values(const std::string& name) const;
  const std::vector<std::string>& Positional() const { return positional_; }
  bool HelpWanted() const { return IsSet("help"); }
  bool VersionWanted() const { return IsSet("version"); }

 private:
  enum class Kind { Flag, Value, OptionalValue };
  std::optional<std::string> LongName(const std::string& given, std::string& name) const;

  std::map<std::string, Kind> options_;
  std::map<char, std::string> shortNames_;
  std::set<std::string> set_;
  std::map<std::string, std::vector<std::string>> values_;
  std::vector<std::string> positional_;
};

// What --help ends with: where to report bugs and the home page.
std::string HelpFooter();
// What --version prints.
std::string VersionText(const std::string& program, const std::string& version);
// The two lines of a usage error on standard error.
std::string UsageErrorText(const std::string& program, const std::string& message);

// Flushes standard output and says on standard error if anything written to
// it was lost (a full disk), counting `earlierError`, an errno seen while the
// program ran. Returns the exit status that failure calls for: 1, else 0. A
// reader that went away (EPIPE) stopped reading on purpose: not a failure.
int FinishStandardOutput(const std::string& program, int earlierError = 0);

}  // namespace command_line
