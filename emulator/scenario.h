// A JSON description of how the simulated interface behaves:
//   {"entry": "06", "version": [1, 5], "card": 2500, "pending": "01 02",
//    "replies": {"2A 42": "2A 42 81 15"}, "delays": {"2A 41": 300},
//    "faults": {"2A 44": "unplugged-in-reply"}, "unplug": "2A 44", "open": "permission"}
// Read by the command line and the window alike.
#pragma once

#include <optional>
#include <string>

#include "corvane_emulator.h"

namespace emulator {

// Applies the scenario text to `device`; returns what is wrong with it, if anything.
std::optional<std::string> ApplyScenario(const std::string& json, CorvaneEmulator& device);
// Reads the scenario file and applies it; returns what is wrong, naming the
// file. A file over kScenarioLimit bytes is refused. "-" is standard input.
inline constexpr int kScenarioLimit = 16 << 20;
std::optional<std::string> LoadScenarioFile(const std::string& path, CorvaneEmulator& device);
// The reading alone, once, for a scenario that several devices take (a pipe
// or a FIFO gives its text only once): the text in `text`, or what is wrong.
std::optional<std::string> ReadScenarioFile(const std::string& path, std::string& text);
// Applies text read from `path`, naming it in what is wrong.
std::optional<std::string> ApplyScenarioFrom(const std::string& path, const std::string& text,
                                             CorvaneEmulator& device);
// Parses hex text ("2A 41", "2a41"): pairs of hex digits, blanks between them optional.
std::optional<Bytes> ParseHexText(const std::string& text);
// What the simulated device was set to, in words.
std::string DescribeDevice(const CorvaneEmulator& device);

}  // namespace emulator
