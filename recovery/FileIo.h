// The few file operations the recovery files need, with UTF-8 names on every
// system: reading at an offset, and writing a new file under a temporary name
// that takes its final name only when whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace RecoveryIo {

// A file open for reading; closes itself.
class Reader {
public:
    Reader() = default;
    ~Reader() { Close(); }
    Reader(Reader&& other) noexcept;
    Reader& operator=(Reader&& other) noexcept;
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    bool Open(const std::string& name);  // false with errno set
    bool IsOpen() const { return fd_ >= 0; }
    // Reads exactly size bytes at offset; false on a failure (errno) or an
    // early end (errno 0).
    bool ReadAt(void* buffer, std::size_t size, int64_t offset);
    int64_t Size() const;  // -1 when unknown
    void Close();

private:
    int fd_ = -1;
};

// A new file written under a temporary name beside `finalName` (created
// exclusively, links not followed) and renamed to it, after reaching the
// disk, by Commit. Dropped when neither committed nor kept.
class Writer {
public:
    Writer() = default;
    ~Writer() { Abandon(); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    bool Create(const std::string& finalName);  // false with errno set
    bool Write(const void* data, std::size_t size);
    bool WriteAt(const void* data, std::size_t size, int64_t offset);
    // Flushes to the disk and takes the final name, replacing a file there.
    bool Commit();
    void Abandon();
    int64_t Written() const { return written_; }

private:
    int fd_ = -1;
    std::string finalName_, tempName_;
    int64_t written_ = 0;
};

// Names of the entries in a folder (not recursive); empty when unreadable.
std::vector<std::string> ListFolder(const std::string& folder);
void Remove(const std::string& name);
std::string JoinPath(const std::string& folder, const std::string& name);
std::string BaseName(const std::string& path);

}  // namespace RecoveryIo
