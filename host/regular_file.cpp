#include "host/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/host_error.h"

namespace vsthost {

RegularFile::RegularFile(const std::string& path, const std::string& action, uint64_t maxBytes)
    : path_(path), action_(action), maxBytes_(maxBytes) {
    // O_NONBLOCK makes opening a FIFO without a writer return at once instead of waiting for one.
    fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) throw HostError(error(std::strerror(errno)));
    struct stat st {};
    if (fstat(fd_, &st) != 0) {
        const int code = errno;
        close(fd_);
        throw HostError(error(std::strerror(code)));
    }
    if (!S_ISREG(st.st_mode)) {
        close(fd_);
        throw HostError(error(S_ISDIR(st.st_mode) ? "a folder, not a file" : "not a regular file"));
    }
    size_ = static_cast<uint64_t>(st.st_size);
    if (maxBytes_ > 0 && size_ > maxBytes_) {
        close(fd_);
        throw HostError(error(std::to_string(size_) + " bytes, over the limit of " +
                              std::to_string(maxBytes_ >> 20) + " MiB"));
    }
    // Regular files ignore the flag, but whoever reads through the descriptor expects blocking reads.
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
}

RegularFile::~RegularFile() {
    if (fd_ >= 0) close(fd_);
}

int RegularFile::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

std::vector<uint8_t> RegularFile::readAll() {
    const uint64_t limit = maxBytes_ > 0 ? maxBytes_ : UINT64_MAX;
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size_));
    std::size_t have = 0;
    for (;;) {
        if (have == bytes.size()) {
            if (have >= limit) {
                // One more byte tells a file that grew past the bound from one that ends here.
                uint8_t extra = 0;
                ssize_t n;
                while ((n = read(fd_, &extra, 1)) < 0 && errno == EINTR) {
                }
                if (n > 0) throw HostError(error("it grew past " + std::to_string(limit >> 20) + " MiB while being read"));
                break;
            }
            bytes.resize(static_cast<std::size_t>(std::min<uint64_t>(limit, have + 65536 + have / 2)));
        }
        const ssize_t n = read(fd_, bytes.data() + have, bytes.size() - have);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw HostError(error(std::strerror(errno)));
        if (n == 0) break;
        have += static_cast<std::size_t>(n);
    }
    bytes.resize(have);
    return bytes;
}

std::string RegularFile::error(const std::string& reason) const { return "cannot " + action_ + " " + path_ + ": " + reason; }

}  // namespace vsthost
