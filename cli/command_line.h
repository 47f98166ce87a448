// Options the GNU way over Qt's parser, shared by the window and the command
// line: --opt value and --opt=value, "--", -h/--help and -V/--version,
// unambiguous abbreviations of long options, and options whose value may be
// left out (--simulate [FILE]).
#pragma once

#include <QCommandLineParser>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace command_line {

class GnuParser {
 public:
  GnuParser();  // knows -h/--help and -V/--version
  GnuParser(const GnuParser&) = delete;
  GnuParser& operator=(const GnuParser&) = delete;

  void AddFlag(const QString& name);
  void AddValue(const QString& name, const QString& valueName);
  // --name, --name=VALUE, or --name VALUE when VALUE does not start with '-'.
  void AddOptionalValue(const QString& name);

  // The arguments start with the program's name. Returns the problem, if any.
  std::optional<std::string> Parse(const QStringList& arguments);

  bool IsSet(const QString& name) const;
  std::optional<std::string> Value(const QString& name) const;
  std::vector<std::string> Positional() const;
  bool HelpWanted() const { return IsSet("help"); }
  bool VersionWanted() const { return IsSet("version"); }

 private:
  std::optional<std::string> Normalise(const QStringList& arguments, QStringList& normalised);

  QCommandLineParser parser_;
  QStringList longNames_;
  QStringList optionalValueNames_;
  std::map<QString, std::string> optionalValues_;
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
