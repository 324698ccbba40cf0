// A fresh host folder for one simulated machine, removed again at the end of the test.
#pragma once

#include <atomic>
#include <filesystem>
#include <random>
#include <string>

namespace sim {

class TempDir {
public:
    TempDir() {
        static std::atomic<unsigned> counter{0};
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("lp-sim-" + std::to_string(rd()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace sim
