// Host build: the spooler is played by a capture object; hPrinter points at it.
#include "drvuni/os.h"
#include "unisim/unisim.h"

namespace unisim {
namespace {

class MemoryPrinter final : public CapturePrinter, public drvuni::HostPrinter {
public:
    HANDLE handle() override { return static_cast<drvuni::HostPrinter*>(this); }
    void Write(const void* data, DWORD size) override {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes_.insert(bytes_.end(), p, p + size);
    }
    bool Finish(std::vector<uint8_t>* bytes, std::string*) override {
        *bytes = std::move(bytes_);
        bytes_.clear();
        return true;
    }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace

std::unique_ptr<CapturePrinter> CapturePrinter::Open(std::string*) { return std::make_unique<MemoryPrinter>(); }

}  // namespace unisim
