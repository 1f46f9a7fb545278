// A file that is written in full before anyone sees it under its name: the
// bytes go into a nameless (or temporary) file in the destination's folder,
// which takes the final name only when Commit() is called. A failure, a stop
// or a killed process never leaves a half-written file under the final name,
// and an existing file of that name is replaced in one step or not at all.
#pragma once

#include "io/FileAccess.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { Abandon(); }

    // Starts the file that is to become `finalName`. buffered: small blocks
    // and bytes go through the stream's buffer. False (with Error() set) when
    // no file can be created in that folder.
    bool Open(const std::string& finalName, bool buffered);

    std::FILE* get() const { return stream_.get(); }
    // errno of the last failure; 0 when none is known.
    int Error() const { return error_; }

    // Writes at an offset, past the stream (for files opened unbuffered);
    // false with Error() set. Written() is the end of what was so written.
    bool WriteAt(const void* data, std::size_t size, int64_t offset);
    // Appends at Written().
    bool Write(const void* data, std::size_t size);
    int64_t Written() const { return written_ + static_cast<int64_t>(aroundFill_); }

    // For a large file written once from start to end and not read back here
    // (recovery data); called right after Open. Write() then gathers the
    // bytes in an aligned block of the program's own and writes each full
    // block straight to the disk, past the system's cache, which would only
    // hold a second copy (and, short of free memory, first make room for
    // it); only a last partial block goes through the cache. False where the
    // system or the file system has no such writes: Write() goes on through
    // the cache.
    bool WriteAroundCache();

    // Bytes written so far, after flushing the stream; -1 when unknown.
    int64_t Size();

    // Cuts the file to `size` bytes, dropping whatever the stream still held.
    bool Truncate(int64_t size);

    // Puts what was written on the disk itself, not only in the system's
    // cache. Commit does it too; called first where its time should come
    // before a last check.
    bool Sync();

    // Lets the disk start writing `length` bytes from `offset` on (0: to the
    // end) while the program goes on; waits for nothing and reports nothing.
    // What the stream's buffer holds is not included.
    void StartWriteBack(int64_t offset = 0, int64_t length = 0);

    // Gives the file its final name, once its bytes are on the disk. replace: an existing file of that name
    // is replaced in one step, keeping its permission bits; otherwise an
    // existing entry makes this fail. False when it cannot be done; the
    // final name then holds what it held before.
    // waitForDisk false (for a name no one reads yet, in a staging folder):
    // the disk only starts writing, and SyncFile(name) must succeed before
    // the file counts as written. Where the system cannot start a write-back
    // and go on (Windows), it is flushed here all the same.
    bool Commit(bool replace, bool waitForDisk = true);

    // Throws the file away; the final name is untouched.
    void Abandon();

private:
    bool Fail();
    bool PutAt(const void* data, std::size_t size, int64_t offset);
    bool PutAround();
    // Writes what the aligned block still holds through the cache and ends
    // writing around it; every use of the file but Write() comes after it.
    bool Settle();

    struct FreeBlock {
        void operator()(unsigned char* block) const { std::free(block); }
    };
    std::unique_ptr<unsigned char[], FreeBlock> around_;
    std::size_t aroundFill_ = 0;

    Stream stream_;
    std::string finalName_;
    std::string tempName_;  // where a file system has no nameless files
    FileLock lock_;         // on the named temporary, while it is written
    int error_ = 0;
    int64_t written_ = 0;
};

// Where every temporary name of the program starts: no user file is named so.
inline constexpr const char* kTemporaryNameStart = ".~quorvel";

// `count` random lowercase letters and digits: the program's one maker of
// names no user file has.
std::string RandomLetters(int count);

// A random name for a temporary file in the folder of `name`:
// kTemporaryNameStart + 8 random letters. Random, so that files left by a
// killed run never block a later one; short, so that it fits wherever
// `name` itself does.
std::string TemporaryNameBeside(const std::string& name);

// Waits until the bytes of the named file, written and committed without
// waiting, are on the disk. False, with errno set, when they could not all
// be written there (a failing disk, a file system out of room underneath).
bool SyncFile(const std::string& name);

// Puts the folder's entries on the disk: files given their final names keep
// them after a power loss. False, with errno set, when that failed; a file
// system that cannot flush a folder counts as done.
bool SyncFolder(const std::string& path);
