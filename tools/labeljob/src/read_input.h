// Reading a tool's whole input (a named file or standard input) with a size cap, so that a
// folder, an unreadable file or a device without end gives a reason instead of an abort or a
// hang. Shared by labeljob and labelview.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// "-" is standard input. False with a reason ("is a folder", "cannot be read: ...", "larger than
// N MiB") that the caller puts after the input's name.
bool ReadInput(const std::string& path, uint64_t limit, std::vector<uint8_t>* data, std::string* error);

// The name of the input in messages.
inline std::string InputName(const std::string& path) { return path == "-" ? "standard input" : path; }

}  // namespace tools
