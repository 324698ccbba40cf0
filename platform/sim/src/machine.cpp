#include <algorithm>

#include "impl.h"
#include "platform/text.h"

namespace sim {

std::u16string Str(const char16_t* text) { return text ? std::u16string(text) : std::u16string(); }
std::string Utf8(const char16_t* text) { return plat::ToUtf8(Str(text)); }

Machine::Machine(std::filesystem::path hostRoot) : root_(std::move(hostRoot)), impl_(new Impl) {
    std::filesystem::create_directories(root_);
    AddDirectory(u"C:\\Windows\\Fonts");
    AddDirectory(u"C:\\Windows\\inf");
    AddDirectory(u"C:\\Users\\user\\Documents");
    registry.AddKey(u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts");
    AddDirectory(spooler.driverDirectory);
    for (const auto& [environment, directory] : spooler.otherEnvironments) AddDirectory(directory);
}

Machine::~Machine() { delete impl_; }

plat::Platform Machine::platform() {
    return plat::Platform{*this, *this, *this, *this, *this, *this, *this, *this};
}

void Machine::FailCall(const std::string& op, plat::DWORD error, int occurrence, int times) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    faults_.push_back({op, error, occurrence, times});
}

int Machine::CallCount(const std::string& op) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = callCounts_.find(op);
    return it == callCounts_.end() ? 0 : it->second;
}

std::optional<plat::DWORD> Machine::FaultCode(const char* op) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    int n = ++callCounts_[op];
    for (const auto& f : faults_) {
        if (f.op != op) continue;
        if (n >= f.occurrence && (f.times == 0 || n < f.occurrence + f.times)) return f.error;
    }
    return std::nullopt;
}

bool Machine::Faulted(const char* op) {
    auto code = FaultCode(op);
    if (!code) return false;
    SetLastError(*code);
    Event(std::string("fault ") + op + " " + std::to_string(*code));
    return true;
}

void Machine::Event(std::string line) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (onEvent) onEvent(line);
    events_.push_back(std::move(line));
}

std::vector<std::string> Machine::Events() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return events_;
}

void Machine::ClearEvents() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    events_.clear();
}

plat::HANDLE Machine::NewHandle() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    nextHandle_ += 4;
    return reinterpret_cast<plat::HANDLE>(nextHandle_);
}

uint64_t Machine::NowMs() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return clockMs_;
}

}  // namespace sim
