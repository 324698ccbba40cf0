// DevMode's four steps on arbitrary input and output records, and the settings read from
// arbitrary feature answers (terminated or not), on records of exactly the announced size.
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "drvuni/settings.h"

namespace {

class Answers final : public drvuni::FeatureSource {
public:
    Answers(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    // Each answer: a length byte, then that many bytes written without a terminator; a length
    // byte of 0xFF means absent.
    bool Get(const char*, char* buffer, uint32_t size) override {
        if (n_ == 0) return false;
        const uint8_t len = *p_++;
        --n_;
        if (len == 0xFF) return false;
        size_t k = len < n_ ? len : n_;
        if (k > size) k = size;
        std::memcpy(buffer, p_, k);
        p_ += k;
        n_ -= k;
        return true;
    }

private:
    const uint8_t* p_;
    size_t n_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t mode = data[0], flags = data[1];
    data += 2;
    size -= 2;
    auto* in = static_cast<uint8_t*>(std::malloc(drvuni::kLabelSettingsSize));
    auto* out = static_cast<uint8_t*>(std::malloc(drvuni::kLabelSettingsSize));
    for (uint8_t* r : {in, out}) {
        const size_t k = size < drvuni::kLabelSettingsSize ? size : drvuni::kLabelSettingsSize;
        std::memset(r, 0, drvuni::kLabelSettingsSize);
        std::memcpy(r, data, k);
        data += k;
        size -= k;
    }
    uint32_t cbBufSize = 0;
    const drvuni::DevModeArgs args{&cbBufSize, (flags & 1) ? nullptr : in, (flags & 2) ? nullptr : (flags & 4) ? in : out};
    const drvuni::DevModeStatus status = drvuni::DevMode(mode % 6, (flags & 8) ? nullptr : &args);

    // A merged record always carries its header.
    if (status == drvuni::DevModeStatus::Ok && mode % 6 == 4 && args.out != nullptr) {
        uint32_t sizeField, version;
        std::memcpy(&sizeField, args.out, 4);
        std::memcpy(&version, static_cast<uint8_t*>(args.out) + 8, 4);
        if (sizeField != drvuni::kLabelSettingsSize || version != 1 ||
            std::memcmp(static_cast<uint8_t*>(args.out) + 4, "QLBV", 4) != 0)
            __builtin_trap();
    }

    drvuni::LabelSettings settings;
    std::memcpy(&settings, out, sizeof settings);
    Answers answers(data, size);
    drvuni::ReadJobSettings(settings, answers);
    if (settings.verticalOffset > 30 || settings.horizontalOffset > 30 || settings.verticalShiftUp > 1 ||
        settings.horizontalShiftLeft > 1)
        __builtin_trap();
    drvuni::ReadPrintMode(settings, answers);
    drvuni::IsPortrait(answers);
    std::free(in);
    std::free(out);
    return 0;
}
