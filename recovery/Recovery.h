// Recovery files in the PAR 2.0 format for a split file: planning how the
// big file is sliced and how many recovery files that takes, writing them,
// counting what they can rebuild, and rebuilding lost pieces from them.
// Standard library, libcrypto (MD5), zlib (CRC32) and gf-complete only;
// on Windows the system's CNG and own tables.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class OutputFile;

// The memory the recovery data may take on a machine with `physical` bytes
// of it: a quarter, at most 2 GiB, at least 256 MiB (0: unknown, 256 MiB).
// Beyond it the data is made in more passes over the pieces.
int64_t RecoveryMemoryFor(int64_t physical);
// The same for this machine.
int64_t RecoveryMemoryLimit();

// Why something failed: errno where the system gave one (0 otherwise) and a
// reason in words, for logs and for the caller to translate into its own.
struct RecoveryError {
    int error = 0;
    std::string reason;
    // What failed, where it was a file: reading it, writing it or putting it
    // on the disk; the file, and the piece (from 0) whose bytes it holds or
    // was to hold, -1 for none (a recovery file, the joined file).
    enum class Step { None, Read, Write, Flush };
    Step step = Step::None;
    std::string file;
    int piece = -1;
};

// Bytes done out of bytes to do, through every pass.
using RecoveryProgress = std::function<void(int64_t done, int64_t total)>;

struct RecoveryPlan {
    bool ok = false;
    RecoveryError failure;
    int lostPieces = 0;  // any this many pieces can be rebuilt
    int64_t sliceSize = 0;
    uint32_t inputSlices = 0;
    uint32_t recoverySlices = 0;
    uint32_t slicesPerFile = 0;
    uint32_t volumeCount = 0;  // <big>.volNN+MM.par2 files
    int64_t indexBytes = 0;    // <big>.par2
    int64_t totalBytes = 0;    // the index and every volume
    bool wholeSlices = false;  // every piece holds whole slices (the last may be short)
    uint32_t FileCount() const { return ok ? volumeCount + 1 : 0; }
};

// Slices the big file made of `pieceSizes` (in order) so that any `lostPieces`
// pieces can be rebuilt, with no recovery file larger than `largestFile`.
// Slices are a multiple of 4 bytes and, where the sizes allow, pieces hold
// whole slices. When a slice the size of a piece leaves no room for the
// packet around it, slices are a part of a piece: the plan takes the fewest
// recovery files, allowing one more file per four lost pieces where that
// saves much of the computing. `name` is the big file's name as stored.
RecoveryPlan PlanRecovery(const std::vector<int64_t>& pieceSizes, int lostPieces, int64_t largestFile,
                          const std::string& name);

struct RecoveryFile {
    std::string name;
    int64_t bytes = 0;
    std::string sha256;  // of what was written, in hex (create): a volume's disk may be gone by the end
};

class WrittenPieces;  // recovery/WrittenPieces.h

struct RecoveryCreate {
    std::string bigFile;  // read, unless `written` is given
    std::string name;     // stored in the set; the big file's own name when empty
    std::string fileStem; // the files' names: <stem>.par2, <stem>.volNN+MM.par2; `name` when empty
    std::string folder;   // where the recovery files go
    std::vector<int64_t> pieceSizes;
    int lostPieces = 1;
    int64_t largestFile = 0;          // no recovery file larger; 0: the largest piece
    int64_t memoryLimit = RecoveryMemoryLimit();  // for the recovery data; more passes over the big file beyond
    // The pieces as a copy writes them: every pass reads them, waiting for
    // bytes not written yet, and the big file is not read at all. Their
    // sizes must be pieceSizes.
    std::shared_ptr<WrittenPieces> written;
    const std::atomic<bool>* stop = nullptr;
    RecoveryProgress progress;
    // Where the volumes go when not beside the index (a disk of their own),
    // and what is asked before each: volume number (from 1) and its size.
    // False leaves that volume and those after it unwritten (`declined`).
    std::string volumeFolder;
    std::function<bool(uint32_t volume, int64_t bytes)> beforeVolume;
};

struct RecoveryResult {
    bool ok = false;
    bool stopped = false;
    bool declined = false;  // a volume's question was answered No (create)
    RecoveryError failure;
    std::vector<RecoveryFile> files;      // written (create) or rebuilt (repair)
    std::vector<std::string> passedOver;  // recovery files damaged or of another set
    int missing = 0;                      // pieces to rebuild (repair)
    int rebuildable = 0;                  // of those, how many the recovery data can rebuild
    // A recovery set of the big file's name and size is there, but it was
    // made from other bytes than the sound pieces' (repair, count): it
    // rebuilds nothing.
    bool otherVersion = false;
    // Every way of rebuilding that was tried came out different from what
    // `rebuiltFits` or the index's slice checksums expect (repair).
    bool notFitting = false;
    RecoveryPlan plan;
};

// Writes <name>.par2 and <name>.volNN+MM.par2 into the folder, each under a
// temporary name first. On a failure or a stop, files written so far are
// removed again, except volumes already on disks of their own (a disk that
// was changed is out of reach).
RecoveryResult CreateRecoveryFiles(const RecoveryCreate& request);

// The recovery files of a big file in a folder: <name>.par2 and
// <name>.vol*.par2, sorted.
std::vector<std::string> FindRecoveryFiles(const std::string& folder, const std::string& name);

struct RecoveryRepair {
    std::vector<std::string> recoveryFiles;
    // The first this many of recoveryFiles are those the set's checksum file
    // lists, with the SHA-256 it gives: their slices are used first, the
    // others only where these are not enough.
    std::size_t trustedFiles = 0;
    // Whether the bytes rebuilt for lost[i] are that piece's (its checksum);
    // null when nothing beyond the index's slice MD5s can tell. Slices whose
    // result does not fit are dropped and others tried in their place.
    std::function<bool(std::size_t lostIndex)> rebuiltFits;
    std::string name;                 // the big file's name, to choose among sets of the same size
    std::vector<std::string> pieces;  // every piece, in order (those lost need not exist)
    std::vector<int64_t> pieceSizes;
    std::vector<int> lost;             // indexes (from 0) of the missing or damaged pieces
    std::vector<std::string> outputs;  // where each lost piece's bytes go: new files, created exclusively
    int64_t memoryLimit = RecoveryMemoryLimit();
    const std::atomic<bool>* stop = nullptr;
    RecoveryProgress progress;
    // Into the big file itself (a join): `into` holds every sound piece at
    // its offset in the big file; the sound slices are read from it and the
    // lost pieces' ranges written into it at their offsets, so no piece file
    // is read or written (`pieces` and `outputs` are not used).
    OutputFile* into = nullptr;
};

// Rebuilds the lost pieces into `outputs` (or into `into`). Sound packets of our set only:
// damaged packets and other sets' files are passed over. When the recovery
// data cannot rebuild every lost piece, nothing is written and `missing` and
// `rebuildable` say how far short it falls. On a failure or a stop, the
// outputs are removed.
RecoveryResult RepairPieces(const RecoveryRepair& request);

// What the recovery files present can do for these lost pieces, without
// rebuilding anything: `missing` and `rebuildable` as above. Volumes not at
// hand yet (on disks still to come) count with their `slicesToCome`
// recovery slices, as long as a file of the set (its index) is present.
RecoveryResult CountRebuildable(const RecoveryRepair& request, uint32_t slicesToCome = 0);

// The recovery slices a volume holds, as its name says
// (<stem>.volNN+MM.par2 holds MM); 0 for any other name.
uint32_t RecoverySlicesNamed(const std::string& name);
