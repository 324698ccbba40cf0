// labeljob: one band through the label plug-in, the printer bytes to standard output.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>

#include "labeljob.h"

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "labeljob: %s\n", message.c_str());
    return 2;
}

bool ReadAll(const std::string& path, std::vector<uint8_t>* data) {
    if (path == "-") {
        data->assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return !std::cin.bad();
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    data->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    labeljob::Options options;
    std::string error;
    if (!labeljob::ParseArguments(std::vector<std::string>(argv + 1, argv + argc), &options, &error))
        return Fail(error + " (--help for usage)");
    if (options.help) {
        std::fputs(labeljob::kUsage, stdout);
        return 0;
    }

    labeljob::Pbm image;
    if (options.image) {
        const std::string& path = *options.image;
        const std::string name = path == "-" ? "standard input" : path;
        std::vector<uint8_t> data;
        if (!ReadAll(path, &data)) return Fail(name + ": cannot be read");
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
