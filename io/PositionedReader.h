// Reading a file at an offset, with UTF-8 names on every system: the
// descriptor's position is left alone, so other threads may read the same
// file at other places.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Reads up to size bytes at offset from the open descriptor fd; the count
// read, 0 at the end of the file, -1 on failure (errno set). On Windows a read
// at an offset moves the handle's position (see HashFileRange).
int64_t ReadSomeAt(int fd, void* buffer, std::size_t size, int64_t offset);
// Reads exactly size bytes at offset; false on a failure (errno) or an early
// end (errno 0).
bool ReadAllAt(int fd, void* buffer, std::size_t size, int64_t offset);

// A descriptor of one's own for reading the file a caller's descriptor fd
// is open on (fd must read); -1 when none can be had. Not a plain duplicate
// on Windows: there a read at an offset moves the handle's position, and a
// duplicate would move the caller's under its feet.
int OwnReadingDescriptor(int fd);
void CloseDescriptor(int fd);

// A file open for reading; closes itself.
class PositionedReader {
public:
    PositionedReader() = default;
    ~PositionedReader() { Close(); }
    PositionedReader(PositionedReader&& other) noexcept;
    PositionedReader& operator=(PositionedReader&& other) noexcept;
    PositionedReader(const PositionedReader&) = delete;
    PositionedReader& operator=(const PositionedReader&) = delete;

    // A regular file only, opened without waiting; false with errno set
    // (EISDIR for a folder, EINVAL for a FIFO or device).
    bool Open(const std::string& name);
    // Reads the file a caller's descriptor is open on, through a descriptor
    // of its own (OwnReadingDescriptor); false with errno set.
    bool OpenOwn(int fd);
    bool IsOpen() const { return fd_ >= 0; }
    // Reads exactly size bytes at offset; false on a failure (errno) or an
    // early end (errno 0).
    bool ReadAt(void* buffer, std::size_t size, int64_t offset) { return ReadAllAt(fd_, buffer, size, offset); }
    int64_t Size() const;  // -1 when unknown
    void Close();

private:
    int fd_ = -1;
};
