// Running the tools as programs in a test: a scratch folder per case under the test output, and a
// command's exit status with what it printed on either stream.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace programs {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string out, err;
};

inline std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// An empty folder $LP_TEST_OUTPUT/<group>/<name> (the system's temporary folder without it).
inline fs::path Scratch(const std::string& group, const std::string& name) {
    const char* base = std::getenv("LP_TEST_OUTPUT");
    fs::path dir = fs::path(base != nullptr ? base : fs::temp_directory_path().string()) / group / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// A shell command; redirections: the streams go to dir/stdout and dir/stderr unless it sends
// standard output elsewhere itself (sendsOut).
inline Outcome Shell(const std::string& command, const fs::path& dir, bool sendsOut = false) {
    const fs::path out = dir / "stdout", err = dir / "stderr";
    std::ofstream(out).close();
    std::string line = "(" + command + ")" + (sendsOut ? "" : " >" + out.string()) + " 2>" + err.string();
    const int rc = std::system(line.c_str());
    return Outcome{WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, Slurp(out), Slurp(err)};
}

}  // namespace programs
