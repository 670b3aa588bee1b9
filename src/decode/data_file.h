// Read access to the chosen data file: open by path, seek from the start, read a count of bytes
// and learn how many arrived. The file is only ever opened for reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace pixvue {

class DataFile {
  public:
    DataFile() = default;
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;
    ~DataFile();

    // Opens an ordinary file for reading. Directories, pipes, devices and anything that cannot
    // be opened fail; opening never blocks (a named pipe without a writer included).
    bool open(const std::string& path);
    bool isOpen() const { return fd_ >= 0; }
    void close();

    // Moves to `offset` bytes from the start; reading past the end delivers nothing.
    void seek(std::int64_t offset);

    // Reads up to `out.size()` bytes, looping over partial reads; returns how many arrived.
    // Zero when the file is not open, at its end, or on a read error.
    std::size_t read(std::span<std::byte> out);

    // Reads up to `out.size()` bytes at `offset` without moving the position, so several
    // threads may read one file at once; returns how many arrived.
    std::size_t readAt(std::int64_t offset, std::span<std::byte> out) const;

    // The file's size in bytes, 0 when it is not open.
    std::int64_t size() const;

    // True once a read failed for another reason than the end of the file.
    bool readFailed() const { return readFailed_; }

  private:
    std::size_t readFrom(std::int64_t offset, std::span<std::byte> out, bool& failed) const;

    int fd_ = -1;
    std::int64_t position_ = 0;
    bool readFailed_ = false;
};

}  // namespace pixvue
