// labeljob: one band through the label plug-in, the printer bytes to standard output.
#include <cstdio>

#include "labeljob.h"
#include "read_input.h"

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "labeljob: %s\n", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    labeljob::Options options;
    std::string error;
    if (!labeljob::ParseArguments(std::vector<std::string>(argv + 1, argv + argc), &options, &error))
        return Fail(error + " (--help for usage)");
    if (options.help) {
        std::fputs(labeljob::kUsage, stdout);
        return std::fflush(stdout) == 0 ? 0 : Fail("standard output: write failed");
    }

    labeljob::Pbm image;
    if (options.image) {
        const std::string& path = *options.image;
        const std::string name = tools::InputName(path);
        std::vector<uint8_t> data;
        if (!tools::ReadInput(path, labeljob::kMaxInputBytes, &data, &error)) return Fail(name + ": " + error);
        if (!labeljob::ParsePbm(data, &image, &error)) return Fail(name + ": " + error);
    }

    unisim::Module module;
    if (!module.Load(&error)) return Fail(error);
    const unisim::SessionResult result =
        unisim::RunSession(module, labeljob::MakeSession(options, options.image ? &image : nullptr));
    if (!result.ok) {
        std::fprintf(stderr, "labeljob: the print session failed: %s\n", result.error.c_str());
        return 1;
    }
    if (!result.printed.empty() && std::fwrite(result.printed.data(), 1, result.printed.size(), stdout) != result.printed.size())
        return Fail("standard output: write failed");
    if (std::fflush(stdout) != 0) return Fail("standard output: write failed");
    return 0;
}
