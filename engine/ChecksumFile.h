// The checksum file of a set: `<piece prefix><marker>sha256` beside the
// pieces (Setup.exe.Quorved_sha256), in the form `sha256sum -c` reads, so
// that a set can be checked by hand as well. A split begins it before the
// first piece, marked unfinished, and finishes it at the end; a join takes
// the set from it and checks every byte (see BackgroundHasher.h for the call
// sequence). Standard library only.
//
// Layout (lines end in '\n'; sha256sum skips the '#' lines):
//
//   # quorvel checksums 1                 format version, always the first line
//   # state finished                      or "unfinished" while the split runs
//   # pieces 3                            or "unknown" (a free-space split)
//   # total 250000                        bytes of the whole file, or "unknown"
//   # size 1 100000                       piece sizes, in order from 1, where known
//   # size 2 100000
//   # size 3 50000
//   <64 hex>  Setup.exe.Quorved_1         one line per hashed piece, in order
//   <64 hex>  Setup.exe.Quorved_2
//   <64 hex>  Setup.exe.Quorved_3
//   <64 hex>  Setup.exe                   the whole file; only when finished
//   <64 hex>  Setup.exe.par2              recovery files, after the whole file, where
//   <64 hex>  Setup.exe.vol0+2.par2       a split wrote them ("# recovery 2" in the head)
//
// Names carry no folder. A name holding '\', a line break or a carriage
// return is written escaped after a leading '\', as sha256sum writes it.
// Other '#' lines are notes and are skipped.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr const char* kChecksumSuffix = "sha256";
// Beside the big file, a checksum file that would replace another set's takes
// the name ...sha256~2, ~3, ... below this number.
inline constexpr int kMaxChecksumFileNumber = 100;

// prefix + marker + "sha256": the checksum file beside the pieces.
std::string ChecksumFileName(const std::string& prefix, const std::string& marker);
// The checksum file of the set `prefix` when it lies in `folder` instead
// (beside the big file, where the pieces' disk had no room for it).
std::string ChecksumFileIn(const std::string& folder, const std::string& prefix, const std::string& marker);
// The checksum file of the set `prefix` (the pieces' names up to the marker):
// beside the pieces first, then beside `target` (the big file) when one is
// given. An entry of that name that cannot be read (no permission, a folder,
// a FIFO, a link to nowhere) is found all the same, with its reason. Beside
// the big file, one that does not list the pieces present gives way to a
// numbered one (...sha256~2) that does.
struct ChecksumLookup {
    std::string path;  // empty when nothing of either name exists
    int error = 0;     // errno when the entry found cannot be read: not the same as none
};
ChecksumLookup LookUpChecksumFile(const std::string& prefix, const std::string& marker, const std::string& target = {});
// LookUpChecksumFile's path: empty when neither exists. ReadChecksumFile
// tells what is wrong with one that cannot be read.
std::string FindChecksumFile(const std::string& prefix, const std::string& marker, const std::string& target = {});

// What a checksum file says.
struct ChecksumSet {
    bool finished = false;
    int32_t count = -1;                // -1: not known (yet)
    int64_t total = -1;                // -1: not known (yet)
    std::string bigFileName;           // the whole file's name, without folder
    std::vector<int64_t> sizes;        // sizes[n - 1]: piece n's size, where known
    std::vector<std::string> digests;  // digests[n - 1]: piece n's digest, lowercase hex
    std::string wholeDigest;           // the whole file's digest; empty while unfinished

    // Recovery files beside it (names without folder) and their digests.
    std::vector<std::string> recoveryNames, recoveryDigests;

    std::string PieceFileName(int32_t n, const std::string& marker) const;
};

// The file's text for a set.
std::string FormatChecksumFile(const ChecksumSet& set, const std::string& marker);

struct ChecksumRead {
    enum class Status {
        Ok,          // finished and consistent: set is complete
        Unfinished,  // well formed, but the split that wrote it did not finish
        CannotRead,  // there, but it cannot be read (error)
        Absent,      // nothing of that name
        Malformed,   // see line and reason
    };
    Status status = Status::CannotRead;
    ChecksumSet set;
    int error = 0;       // errno when it cannot be read
    int32_t line = 0;    // the offending line (from 1); 0 for the file as a whole
    std::string reason;  // what is wrong, in English, for logs and tests
};

// True when the set's lines name the pieces of `prefix` (the pieces' names
// up to the marker): a checksum file copied beside other pieces names the
// files it was made for, and must not be used to check different ones.
bool NamesSet(const ChecksumSet& set, const std::string& prefix);

// Reads a checksum file's text; refuses anything malformed or inconsistent,
// whatever bytes it is given.
ChecksumRead ParseChecksumFile(const std::string& text, const std::string& marker);
ChecksumRead ReadChecksumFile(const std::string& path, const std::string& marker);

// Writes a checksum file as a split goes on. Every write goes to a temporary
// file that is renamed over the checksum file, so a killed split leaves the
// previous whole version, never a partial one.
class ChecksumWriter {
public:
    // Starts the file, marked unfinished, with the big file's size, the
    // planned sizes of pieces 1..k (empty when not known) and whether k is
    // the final count (not for a free-space split).
    bool Begin(const std::string& path, const std::string& bigFileName, const std::string& marker, int64_t total,
               const std::vector<int64_t>& plannedSizes, bool countKnown);
    // Piece n (the next one) is whole: its final size and digest; a piece
    // beyond the planned count makes the count unknown again. Written out
    // at most every `interval`, as rewriting after each of thousands of small
    // pieces would cost more than the split; Flush writes at once.
    bool RecordPiece(int32_t n, int64_t size, const std::string& digest);
    bool Flush();
    // The recovery files to list once the file is finished (names without
    // folder, and their digests).
    void ListRecovery(std::vector<std::string> names, std::vector<std::string> digests);
    // Every piece is recorded: marks the file finished with the count, the
    // total and the whole file's digest.
    bool Finish(const std::string& wholeDigest);
    // Removes the file (a split that failed or was stopped).
    void Remove();
    // Writes `set` as the file at `path` at once, in the same safe way (for
    // a finished set that gains its recovery files).
    bool Rewrite(const std::string& path, const std::string& marker, const ChecksumSet& set);

    const std::string& Path() const { return path_; }
    const ChecksumSet& Set() const { return set_; }
    int LastError() const { return error_; }  // errno of the last failed write

    std::chrono::milliseconds interval{500};

private:
    bool Write();

    std::string path_;
    std::string marker_;
    ChecksumSet set_;
    int error_ = 0;
    bool dirty_ = false;
    std::chrono::steady_clock::time_point lastWrite_{};
};
