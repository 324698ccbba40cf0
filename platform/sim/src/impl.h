// Private state of the simulated machine, shared by its service files.
#pragma once

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "sim/machine.h"

namespace sim {

struct Machine::OpenFile {
    std::u16string key;   // ParsedPath::key, or the device name for devices
    std::filesystem::path host;
    plat::DWORD access = 0;
    plat::DWORD share = 0;
    uint64_t position = 0;
    int device = -1;      // index into DeviceState::devices for an opened device path
    std::FILE* file = nullptr;   // the host file
};

struct Machine::FindState {
    std::vector<plat::WIN32_FIND_DATAW> entries;
    size_t next = 0;
};

// A device information set: the devices it holds (indices into DeviceState::devices) and, for
// interface sets, the interfaces (device index, interface index).
struct Machine::DeviceSet {
    std::vector<int> devices;
    std::vector<std::pair<int, int>> interfaces;
    bool interfaceSet = false;
    plat::GUID classGuid{};
};

struct Machine::Impl {
    std::map<uintptr_t, OpenFile> files;
    std::map<uintptr_t, FindState> finds;
    std::map<uintptr_t, DeviceSet> deviceSets;
    std::map<uintptr_t, std::u16string> registryKeys;   // open key -> upper-case path
    std::map<std::u16string, plat::DWORD> attributes;   // by key; absent: ARCHIVE (file) or DIRECTORY
    std::map<std::u16string, plat::DWORD> lockedWhileSpoolerRuns;
    std::map<uintptr_t, plat::DWORD> processes;   // process handle -> exit code (ended at once)
    std::set<uintptr_t> threads;
};

// Host file access that builds on Linux and on Windows.
std::FILE* OpenHostFile(const std::filesystem::path& path, bool write, bool truncate);
bool HostSeek(std::FILE* file, uint64_t position);

#ifdef LP_SIM_WINDOWS_CODEPAGE
std::u16string HostDecode(const char* codePageName, const char* bytes, size_t count);
std::string HostEncode(const char* codePageName, const char16_t* text, size_t count, char defaultChar, bool& usedDefault);
#endif

// Little helpers for the service files.
std::u16string Str(const char16_t* text);   // null gives empty
std::string Utf8(const char16_t* text);

}  // namespace sim
