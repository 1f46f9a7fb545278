// Hashes what a copy has just moved while the copy goes on with the next
// block. The copying thread (copy_file_range: it never sees the bytes) only
// says which byte range of which file was copied; two threads of the hasher
// read those ranges back from the page cache with pread and keep the running
// hashes: one thread the current piece's, the other the whole file's (the same
// bytes hashed twice, so the two hashes run on two cores).
//
// How a transfer uses it (with ChecksumFile.h):
//
//   split:
//     ChecksumWriter sums;
//     sums.Begin(ChecksumFileName(PiecePrefix, marker), FileNamePart(BigFilePath), marker, bigSize,
//                {PieceSizes.begin() + 1, PieceSizes.end()}, !useFreeSpace);   // before piece 1
//     BackgroundHasher hasher;
//     hasher.SetStopFlag(stop); not hasher.Ok(): fail the split at once (EAGAIN)
//     for each piece j:
//       after each block of n bytes copied from the big file at offset `at`:
//         hasher.Submit(fileno(bigIn), at, n);   // any copy mode: the big file is whole on disk
//       at the piece's end:
//         hasher.EndPiece();
//         while (hasher.PieceReady(recorded + 1, &d)) sums.RecordPiece(++recorded, PieceSizes[recorded], d.hex);
//         (before a disk change: d = hasher.WaitPiece(j) and record up to j)
//     whole = hasher.Finish();                   // waits for the pieces too
//     record the pieces not recorded yet (WaitPiece), then sums.Finish(whole.hex)
//     a digest that is not ok fails the split; a failed or stopped split calls sums.Remove()
//
//   join:
//     ChecksumRead sums = ReadChecksumFile(FindChecksumFile(PiecePrefix, marker, BigFilePath), marker);
//     not found: join by counting as before; status other than Ok: refuse, naming the cause;
//     Ok: PieceCount = sums.set.count, PieceSizes from sums.set.sizes; a missing piece is reported
//     as missing before anything is written
//     BackgroundHasher hasher;   (SetStopFlag and Ok() as for a split)
//     for each piece j, after each block of n bytes copied from it at `at` to the output at `outAt`:
//       kernel copy (the output, open for reading too, has the bytes at once):
//         hasher.Submit(piece, at, n, BackgroundHasher::Lane::Piece);
//         hasher.Submit(output, outAt, n, BackgroundHasher::Lane::Whole);
//       buffered and byte copies (the output's bytes may still sit in its stream):
//         hasher.Submit(piece, at, n);              // both lanes from the piece
//       at the piece's end: hasher.EndPiece(); a pausing join waits (WaitPiece(j)) before the next disk;
//       a ready digest (PieceReady) that differs from sums.set.digests[j - 1] fails the join: piece j
//     hasher.Finish() must equal sums.set.wholeDigest before the output takes the target's place
//
// Every function is called from one thread (the copying one); the hasher's
// own threads touch nothing of the caller's.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class BackgroundHasher {
public:
    struct Digest {
        bool ok = false;
        int error = 0;      // errno of a failed read; 0 when the file ended before the range did
        int64_t bytes = 0;  // bytes hashed
        std::string hex;    // empty unless ok
    };
    // Which running hash a submission feeds.
    enum class Lane { Piece, Whole, Both };

    BackgroundHasher();
    // Drops the work not done yet and ends the threads.
    ~BackgroundHasher();
    BackgroundHasher(const BackgroundHasher&) = delete;
    BackgroundHasher& operator=(const BackgroundHasher&) = delete;

    // False when the threads could not be started: nothing is queued then,
    // no call waits, and every digest fails at once (EAGAIN).
    bool Ok() const { return started_; }

    // The transfer's stop flag: once it is set, the lanes hash nothing more
    // (at most one job of 16 MiB each after it), and every digest still to
    // come fails with EINTR, so WaitPiece and Finish return promptly.
    void SetStopFlag(const std::atomic<bool>* stop);

    // Queues bytes [offset, offset + length) of the open file fd, which must
    // be open for reading. The hasher keeps its own duplicate of the
    // descriptor, so the caller may close or reposition its own at once.
    // False when the descriptor cannot be duplicated (the lanes then fail).
    bool Submit(int fd, int64_t offset, int64_t length, Lane lane = Lane::Both);
    bool Submit(std::FILE* file, int64_t offset, int64_t length, Lane lane = Lane::Both);

    // Ends the current piece without waiting; returns its number (1, 2, ...).
    int32_t EndPiece();
    // Piece n's digest if it is hashed already.
    bool PieceReady(int32_t n, Digest* digest);
    // Waits until piece n is hashed; a failed digest for a piece not ended yet.
    Digest WaitPiece(int32_t n);
    // Waits until everything queued is hashed, and lets go of every file
    // submitted so far: before a disk is changed, nothing of it stays open.
    void Drain();
    // Waits for everything queued; the digest of all bytes fed to the whole
    // lane. Only EndPiece'd pieces have digests; nothing may be queued after.
    Digest Finish();

private:
    struct Source;
    struct Job {
        enum class Kind { Range, End } kind = Kind::Range;
        std::shared_ptr<Source> source;
        int64_t offset = 0;
        int64_t length = 0;
    };
    struct LaneState {
        std::deque<Job> queue;
        std::thread thread;
    };
    static constexpr int kPieceLane = 0;
    static constexpr int kWholeLane = 1;

    void Run(int lane);
    void Serve(int lane);
    void Queue(Job job, Lane lane);
    std::shared_ptr<Source> SourceFor(int fd);
    static Digest Failed(int error);
    bool Stopped() const;

    std::mutex mutex_;
    std::condition_variable work_;  // a lane has a job, or the hasher stops
    std::condition_variable done_;  // a lane finished a job
    LaneState lanes_[2];
    bool stopping_ = false;
    int broken_ = 0;  // errno of a lane that failed outside any job (memory): every waiter's digest fails with it
    std::vector<Digest> pieces_;  // pieces_[n - 1]: piece n, once hashed
    std::vector<Digest> whole_;   // one element once the whole lane ended
    bool started_ = false;
    int64_t pending_ = 0;  // jobs queued and not done, over both lanes
    std::atomic<const std::atomic<bool>*> stop_{nullptr};

    // The caller's thread only:
    int32_t endedPieces_ = 0;
    bool finished_ = false;
    // The sources of the latest submissions: a join alternates between the
    // piece and the joined file, and each must keep its one descriptor.
    std::vector<std::shared_ptr<Source>> recentSources_;
};
