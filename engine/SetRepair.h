// A set's recovery files (PAR 2.0, written by a split with K > 0): writing
// them after the pieces and listing them in the checksum file; counting and
// rebuilding the pieces the checksum file finds missing or damaged. Rebuilt
// pieces are checked against the checksum file before anyone uses them.
#pragma once

#include "engine/ChecksumFile.h"
#include "io/Sha256.h"
#include "engine/TransferOutcome.h"
#include "recovery/Recovery.h"

class OutputFile;

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct RecoverySetWritten {
    bool ok = false;
    bool stopped = false;
    int error = 0;       // errno where known
    std::string reason;  // English, for logs
    std::vector<RecoveryFile> files;
    RecoveryPlan plan;
};

// Writes the recovery files of `bigFile` (split into `pieceSizes`) into
// `folder` so that any `lostPieces` pieces can be rebuilt, and lists them in
// the finished checksum file `checksumPath` (none when empty).
RecoverySetWritten WriteRecoverySet(const std::string& bigFile, const std::vector<int64_t>& pieceSizes, int lostPieces,
                                    const std::string& folder, const std::string& checksumPath,
                                    const std::string& marker, const std::atomic<bool>* stop = nullptr,
                                    const RecoveryProgress& progress = {});

// The recovery files a split of `bigFile` into `pieceSizes` writes so that
// any `lostPieces` pieces can be rebuilt: the one plan the split, the window
// and the command line go by.
RecoveryPlan PlanRecoveryFiles(const std::vector<int64_t>& pieceSizes, int lostPieces, const std::string& bigFile);

// How the checksum file lists recovery files: names without folder, SHA-256.
struct RecoveryListing {
    std::vector<std::string> names, digests;
    int error = 0;  // errno when a file cannot be read
};
bool ListingOf(const std::vector<RecoveryFile>& files, RecoveryListing& listing);

// The request for the recovery files of `bigFile` (split into `pieceSizes`),
// written into `folder`, so that any `lostPieces` pieces can be rebuilt.
RecoveryCreate RecoveryRequest(const std::string& bigFile, const std::vector<int64_t>& pieceSizes, int lostPieces,
                               const std::string& folder);

// Lists recovery files just made in the finished checksum file
// `checksumPath`; when that fails, `written` says why.
bool ListRecoveryFiles(const std::string& checksumPath, const std::string& marker,
                       const std::vector<RecoveryFile>& files, RecoverySetWritten& written);

// Recovery files made on a thread of their own while a split copies: they
// read the pieces as the copy writes them (request.written), waiting for
// bytes not written yet, so the two run side by side. Destroying the task
// stops it and waits for its thread. A thread that cannot be started makes
// the task's result a failure with its reason. request.stop, when given, is
// looked at along with the task's own stop.
class RecoveryTask {
public:
    explicit RecoveryTask(RecoveryCreate request);
    ~RecoveryTask();
    RecoveryTask(const RecoveryTask&) = delete;
    RecoveryTask& operator=(const RecoveryTask&) = delete;
    // Waits for the end, calling `progress` on the caller's thread as the
    // work moves on; `stop` is looked at as often (the work itself looks at
    // the request's stop).
    RecoveryResult Wait(const std::atomic<bool>* stop, const RecoveryProgress& progress);

private:
    RecoveryCreate request_;
    const std::atomic<bool>* outerStop_ = nullptr;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable changed_;  // progress or the end
    int64_t done_ = 0, total_ = 0;
    uint64_t moves_ = 0;
    bool finished_ = false;
    RecoveryResult result_;
    std::thread thread_;
};

// The recovery files of a set beside its pieces and beside its checksum
// file: those the checksum file lists first, then any others named after
// the big file (a file planted beside them, or made by another tool).
std::vector<std::string> RecoveryFilesOf(const ChecksumSet& set, const std::string& pieceFolder,
                                         const std::string& checksumFolder);

// Feeds bytes [offset, offset + length) of an open file into `hash` a few
// megabytes at a time, looking at `stop` between them: a long hash ends
// within a moment of a stop (`stopped`). False when a read fails (`error`)
// or the stop came.
bool HashRangeUnlessStopped(std::FILE* file, int64_t offset, int64_t length, Sha256& hash,
                            const std::atomic<bool>* stop, int* error, bool* stopped);

struct SetRepair {
    bool ok = false;
    bool stopped = false;
    bool foreignData = false;  // rebuilt bytes differ from the checksum file: the recovery files are another file's
    // Counting found recovery data of the big file's name and size made from
    // other bytes than the pieces': another version of the file.
    bool otherVersion = false;
    int error = 0;
    std::string reason;                   // English, for logs
    // A rebuild that failed reading, writing or flushing: the file, and the
    // piece (from 1) it holds or was to hold, 0 for none. A rebuilt piece's
    // file is named as the piece, not as the temporary it was written to.
    RecoveryError::Step failedStep = RecoveryError::Step::None;
    std::string failedFile;
    int32_t failedPiece = 0;
    int32_t missing = 0;                  // pieces missing or damaged
    int32_t rebuildable = 0;              // of those, how many the recovery files can rebuild
    std::vector<int32_t> rebuilt;         // piece numbers (from 1), in place where rebuilt into the pieces
    std::vector<int32_t> notPlaced;       // rebuilt and checked, but the piece's name could not be taken
    std::vector<std::string> files;       // where each rebuilt piece now is
    std::vector<std::string> passedOver;  // recovery files damaged or of another set
};

// The outcome a failed rebuild's step makes: ReadFailed, WriteFailed or
// FlushFailed; Done for a failure that is none of these.
TransferOutcome::What FailedWhat(RecoveryError::Step step);

enum class RebuildInto {
    Pieces,  // the pieces' own names, replacing what is there
};

// What the recovery files can do for the `bad` pieces (numbers from 1);
// volumes still to come count with `slicesToCome` recovery slices.
SetRepair CountRebuildable(const ChecksumSet& set, const std::string& marker, const std::string& folder,
                           const std::vector<int32_t>& bad, const std::vector<std::string>& recoveryFiles,
                           uint32_t slicesToCome = 0);

// Rebuilds the `bad` pieces; nothing is written when not all of them can be.
SetRepair RebuildPieces(const ChecksumSet& set, const std::string& marker, const std::string& folder,
                        const std::vector<int32_t>& bad, const std::vector<std::string>& recoveryFiles,
                        RebuildInto into, const std::atomic<bool>* stop = nullptr,
                        const RecoveryProgress& progress = {});

// Rebuilds the `bad` pieces (numbers from 1) straight into `target`, the big
// file a join writes, which holds every other piece of `set` at its offset:
// nothing beside the pieces is read or written but the recovery files. Each
// rebuilt piece's range is checked against the checksum file (`foreignData`
// and the piece in `rebuilt` when it differs).
SetRepair RebuildIntoBigFile(const ChecksumSet& set, const std::vector<int32_t>& bad,
                             const std::vector<std::string>& recoveryFiles, OutputFile& target,
                             const std::atomic<bool>* stop = nullptr, const RecoveryProgress& progress = {});
