// The plug-and-play path: the package INF's model hardware IDs, a present device that matches
// one of them, and the system's device installer updating that device's driver from the INF.
//
//   CInfFileHelper      line reader over one INF: sections, manufacturer entries, model IDs
//   MatchHardwareId     the matching rule between INF IDs and a device's first hardware ID
//   CPnpInstaller       finds the matching device and installs on it (one run of the path)
//   CDriverSetupHelper  driver update for a hardware ID, on a present or a root-enumerated device
//   InstallByPlugAndPlay  the path as the install worker runs it
//
// Nothing here shows a dialog or writes the log: every failure is a false that sends the worker
// down the registration path.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/env.h"

namespace engine {

// Reads an INF line by line (line ends removed) and can rewind. The file is opened read-only,
// letting others read and write it. ANSI (the system code page), UTF-8 with a byte-order mark
// and UTF-16LE with a byte-order mark are read.
class CInfFileHelper {
public:
    explicit CInfFileHelper(const plat::Platform& p);
    virtual ~CInfFileHelper();
    CInfFileHelper(const CInfFileHelper&) = delete;
    CInfFileHelper& operator=(const CInfFileHelper&) = delete;

    bool Open(const std::u16string& path);
    void OpenBytes(std::string bytes);   // the same reader over bytes in memory
    void Close();
    bool ReadLine(std::u16string& line);   // false at the end of the file
    void Rewind();

    // Rewinds, then reads up to the line that contains headerText (case-sensitive).
    bool SeekSection(const std::u16string& headerText);
    // The text after the first "=" of each line of [Manufacturer].
    bool GetManufacturerEntries(std::vector<std::u16string>& list);
    // The text after the first "," of each line of the models section for the architecture.
    bool GetModelHardwareIds(std::vector<std::u16string>& list);

    class Source;   // where the bytes come from

private:
    bool ReadSection(std::vector<std::u16string>& list, char16_t separator);

    plat::Platform p_;
    std::unique_ptr<Source> source_;
    std::string buffer_;
    size_t pos_ = 0;
    bool eof_ = false;
    enum class Encoding { Ansi, Utf8, Utf16 } encoding_ = Encoding::Ansi;
};

// The device ID (upper-cased) contains an INF ID (upper-cased), and the device ID either is not
// longer than the INF ID or has "&", "-", "#" or "_" at the position of the INF ID's length.
// The first INF ID that matches ends the search.
bool MatchHardwareId(const std::vector<std::u16string>& infIds, const std::u16string& deviceId);

class CDriverSetupHelper {
public:
    explicit CDriverSetupHelper(const Env& env) : env_(env) {}
    virtual ~CDriverSetupHelper() = default;

    bool UpdateDriverForHardwareId(const std::u16string& infPath, const std::u16string& hardwareId);
    // A present device lists the ID exactly (case-sensitive).
    bool IsHardwareIdPresent(const std::u16string& hardwareId);
    // Creates a root-enumerated device with the ID and installs the driver on it; a failed
    // install removes the device again.
    bool InstallRootDevice(const std::u16string& infPath, const std::u16string& hardwareId);

private:
    const Env& env_;
};

class CPnpInstaller {
public:
    explicit CPnpInstaller(const Env& env) : env_(env) {}
    ~CPnpInstaller() { Clear(); }
    CPnpInstaller(const CPnpInstaller&) = delete;
    CPnpInstaller& operator=(const CPnpInstaller&) = delete;

    bool FindMatchingDevice(const std::u16string& infPath);
    bool InstallOnDevice();

    const std::u16string& infPath() const { return infPath_; }
    const std::u16string& matchedHardwareId() const { return matchedHardwareId_; }

private:
    void Clear();

    const Env& env_;
    plat::HDEVINFO deviceSet_ = plat::INVALID_HANDLE_VALUE;
    std::u16string infPath_;
    std::u16string matchedHardwareId_;
};

// The INF of the family, a matching device, the driver update: true when both succeed.
bool InstallByPlugAndPlay(const Env& env, int family);

}  // namespace engine
