// The settings file Bd_Config.ini beside the program: its name, the
// existence test made at start and the content written when it is missing.
#pragma once

#include <string>
#include <string_view>

namespace qc {

inline constexpr std::string_view kConfigFileName = "Bd_Config.ini";

// runDirectory + "/" + kConfigFileName (a trailing "/" is not doubled).
std::string ConfigFilePath(std::string_view runDirectory);

// True when `path` names an existing entry that is not a directory.
bool ConfigFileExists(std::string_view path);

// The default settings, byte for byte (CRLF lines, no byte-order mark).
std::string_view DefaultConfigContent();

// Writes DefaultConfigContent() to `path`, atomically. False on failure.
bool WriteDefaultConfigFile(std::string_view path);

}  // namespace qc
