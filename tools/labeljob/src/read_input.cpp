#include "read_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tools {
namespace {

std::string Limit(uint64_t limit) {
    return limit % (1u << 20) == 0 ? std::to_string(limit >> 20) + " MiB" : std::to_string(limit) + " bytes";
}

std::string Unreadable(int error) { return std::string("cannot be read: ") + std::strerror(error); }

}  // namespace

bool ReadInput(const std::string& path, uint64_t limit, std::vector<uint8_t>* data, std::string* error) {
    const bool standardInput = path == "-";
    const int fd = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = Unreadable(errno);
        return false;
    }
    struct Closer {
        int fd;
        bool own;
        ~Closer() {
            if (own) ::close(fd);
        }
    } closer{fd, !standardInput};

    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        *error = Unreadable(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        *error = "is a folder";
        return false;
    }
    const std::string tooLarge = "larger than " + Limit(limit);
    if (S_ISREG(st.st_mode)) {
        if (uint64_t(st.st_size) > limit) {
            *error = tooLarge;
            return false;
        }
        data->reserve(size_t(st.st_size));
    }

    // Devices and pipes tell no size: read until the end or one byte past the limit.
    data->clear();
    uint8_t chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            *error = Unreadable(errno);
            return false;
        }
        if (n == 0) return true;
        if (uint64_t(data->size()) + uint64_t(n) > limit) {
            *error = tooLarge;
            return false;
        }
        data->insert(data->end(), chunk, chunk + n);
    }
}

}  // namespace tools
