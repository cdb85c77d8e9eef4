// Opening the files a user names (presets, audio input) without ever blocking on them: a FIFO, a device
// or a file too large to be what it claims is refused with one line before anything is read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vsthost {

// An open, regular file; closes itself.
class RegularFile {
public:
    // `action` starts the error text, e.g. "load" gives "cannot load x.fxp: not a regular file".
    // `maxBytes` of 0 means no bound. Throws HostError.
    RegularFile(const std::string& path, const std::string& action, uint64_t maxBytes = 0);
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    int fd() const { return fd_; }
    uint64_t size() const { return size_; }
    // Hands the descriptor over to a reader that closes it itself.
    int release();
    // The whole file; a file that grew past its bound while being read is refused too.
    std::vector<uint8_t> readAll();

private:
    std::string error(const std::string& reason) const;

    std::string path_;
    std::string action_;
    uint64_t maxBytes_;
    int fd_ = -1;
    uint64_t size_ = 0;
};

}  // namespace vsthost
