#include "command_line.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace command_line {

GnuParser::GnuParser() {
  parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
  parser_.addOption(QCommandLineOption({"h", "help"}, {}));
  parser_.addOption(QCommandLineOption({"V", "version"}, {}));
  longNames_ << "help" << "version";
}

void GnuParser::AddFlag(const QString& name) {
  parser_.addOption(QCommandLineOption(name, {}));
  longNames_ << name;
}

void GnuParser::AddValue(const QString& name, const QString& valueName) {
  parser_.addOption(QCommandLineOption(name, {}, valueName));
  longNames_ << name;
}

void GnuParser::AddOptionalValue(const QString& name) {
  AddFlag(name);
  optionalValueNames_ << name;
}

// Expands abbreviations and takes the optional values out, so that Qt's
// parser sees only whole names and plain flags.
std::optional<std::string> GnuParser::Normalise(const QStringList& arguments, QStringList& normalised) {
  normalised.clear();
  optionalValues_.clear();
  if (!arguments.isEmpty()) normalised << arguments.front();
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == "--") {
      normalised << arguments.mid(i);
      break;
    }
    if (!argument.startsWith("--")) {
      normalised << argument;
      continue;
    }
    const qsizetype equals = argument.indexOf('=');
    const QString given = argument.mid(2, equals < 0 ? -1 : equals - 2);
    QString name = given;
    if (!longNames_.contains(given)) {
      QStringList candidates;
      for (const QString& known : longNames_) {
        if (known.startsWith(given)) candidates << known;
      }
      if (candidates.size() > 1) {
        std::string message = "option '--" + given.toStdString() + "' is ambiguous; possibilities:";
        for (const QString& candidate : candidates) message += " '--" + candidate.toStdString() + "'";
        return message;
      }
      if (candidates.size() == 1) name = candidates.front();
    }
    if (optionalValueNames_.contains(name)) {
      if (equals >= 0) {
        optionalValues_[name] = argument.mid(equals + 1).toStdString();
      } else if (i + 1 < arguments.size() && !arguments[i + 1].startsWith('-')) {
        optionalValues_[name] = arguments[++i].toStdString();
      }
      normalised << "--" + name;
      continue;
    }
    normalised << "--" + name + (equals < 0 ? QString() : argument.mid(equals));
  }
  return std::nullopt;
}

std::optional<std::string> GnuParser::Parse(const QStringList& arguments) {
  QStringList normalised;
  if (auto problem = Normalise(arguments, normalised)) return problem;
  if (!parser_.parse(normalised)) return parser_.errorText().toStdString();
  return std::nullopt;
}

bool GnuParser::IsSet(const QString& name) const { return parser_.isSet(name); }

std::optional<std::string> GnuParser::Value(const QString& name) const {
  if (const auto found = optionalValues_.find(name); found != optionalValues_.end()) return found->second;
  if (optionalValueNames_.contains(name) || !parser_.isSet(name)) return std::nullopt;
  return parser_.value(name).toStdString();
}

std::vector<std::string> GnuParser::Positional() const {
  std::vector<std::string> positional;
  for (const QString& argument : parser_.positionalArguments()) positional.push_back(argument.toStdString());
  return positional;
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
