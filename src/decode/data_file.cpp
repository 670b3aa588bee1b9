#include "data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace pixvue {

DataFile::~DataFile() {
    close();
}

bool DataFile::open(const std::string& path) {
    close();
    readFailed_ = false;
    // O_NONBLOCK keeps a named pipe from stalling the open; it is refused just below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    position_ = 0;
    return true;
}

void DataFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void DataFile::seek(std::int64_t offset) {
    position_ = offset < 0 ? 0 : offset;
}

std::size_t DataFile::read(std::span<std::byte> out) {
    bool failed = false;
    const std::size_t done = readFrom(position_, out, failed);
    position_ += static_cast<std::int64_t>(done);
    if (failed) readFailed_ = true;
    return done;
}

std::size_t DataFile::readAt(std::int64_t offset, std::span<std::byte> out) const {
    bool failed = false;
    return readFrom(offset < 0 ? 0 : offset, out, failed);
}

std::size_t DataFile::readFrom(std::int64_t offset, std::span<std::byte> out, bool& failed) const {
    if (fd_ < 0) return 0;
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done,
                                  static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failed = true;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::int64_t DataFile::size() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
    return static_cast<std::int64_t>(st.st_size);
}

}  // namespace pixvue
