// Rebuilding lost pieces: the recovery slices to use, and the passes that
// solve for the lost slices and write them into the pieces.
#include "recovery/BigFileBytes.h"
#include "recovery/Buffers.h"
#include "io/FileAccess.h"
#include "io/OutputFile.h"
#include "io/PositionedReader.h"
#include "recovery/Gf16.h"
#include "recovery/Par2Packets.h"
#include "recovery/Recovery.h"
#include "recovery/RecoveryAssess.h"
#include "recovery/RecoveryDetail.h"
#include "recovery/SliceFeed.h"
#include "recovery/Threads.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace RecoveryDetail;

namespace {

// Sets of recovery slices tried before giving up on a matrix that cannot
// be inverted: each try costs a whole inversion.
constexpr std::size_t kMostInversions = 16;

// m of `usable` whose matrix over the lost slices can be inverted, and
// that inverse: the first ones first (lowest exponents with no gaps always
// can be). False when none of the tries can, or when `goOn` (asked after
// each column of an inversion) says to end.
bool ChooseSlices(const Assessment& a, const std::vector<Par2::FoundSlice>& usable, std::vector<uint16_t>& inverse, std::vector<Par2::FoundSlice>& chosen,
                  const std::function<bool(std::size_t)>& goOn) {
    const std::size_t m = a.lostSlices.size();
    if (m == 0) return true;
    for (std::size_t skip = 0; skip + m <= usable.size() && skip < kMostInversions; ++skip) {
        std::vector<Par2::FoundSlice> pick(usable.begin(), usable.begin() + std::ptrdiff_t(m - (skip > 0)));
        if (skip > 0) pick.push_back(usable[m - 1 + skip]);
        inverse.assign(m * m, 0);
        for (std::size_t j = 0; j < m; ++j)
            for (std::size_t l = 0; l < m; ++l)
                inverse[j * m + l] = Gf16::Power(Par2::InputConstant(uint32_t(a.lostSlices[l])), pick[j].exponent);
        bool stopped = false;
        const bool inverted = Gf16::Invert(inverse.data(), m, [&](std::size_t done) {
            stopped = !goOn(done);
            return !stopped;
        });
        if (inverted) {
            chosen = std::move(pick);
            return true;
        }
        if (stopped) return false;
    }
    return false;
}

// Rebuilds of the lost slices a repair tries in turn, while the result does
// not fit: each slice's first choice; then, where an exponent has slices
// from several files, every exponent's next one; then each next one alone;
// then each chosen exponent left out for a spare one. A planted or damaged
// file costs a bounded number of passes, never an endless search.
constexpr std::size_t kMostTries = 12;

std::vector<std::vector<Par2::FoundSlice>> Tries(const Assessment& a) {
    std::vector<std::vector<Par2::FoundSlice>> tries{a.usable};
    const std::size_t m = std::min(a.lostSlices.size(), a.usable.size());
    std::vector<Par2::FoundSlice> allNext = a.usable;
    bool any = false;
    for (std::size_t i = 0; i < m; ++i) {
        if (a.alternatives[i].empty()) continue;
        allNext[i] = a.alternatives[i].front();
        any = true;
    }
    if (any) tries.push_back(allNext);
    for (std::size_t i = 0; i < m; ++i) {
        for (const Par2::FoundSlice& other : a.alternatives[i]) {
            tries.push_back(a.usable);
            tries.back()[i] = other;
        }
    }
    for (std::size_t i = 0; i < m && a.usable.size() > m; ++i) {
        tries.push_back(a.usable);
        tries.back().erase(tries.back().begin() + std::ptrdiff_t(i));
    }
    if (tries.size() > kMostTries) tries.resize(kMostTries);
    return tries;
}

bool SameSlices(const std::vector<Par2::FoundSlice>& x, const std::vector<Par2::FoundSlice>& y) {
    return std::equal(x.begin(), x.end(), y.begin(), y.end(), [](const Par2::FoundSlice& p, const Par2::FoundSlice& q) {
        return p.exponent == q.exponent && p.file == q.file && p.offset == q.offset;
    });
}

// The lost slices rebuilt from the sound ones and the chosen recovery
// slices, as many rows at a time as the memory allows, each written to the
// lost pieces it overlaps. Lost slice l = sum over j of inverse[l][j] *
// (recovery j - the sound slices' share in it): each sound slice enters
// with sum_j inverse[l][j] * constant^exponent_j.
class Rebuild {
public:
    Rebuild(const RecoveryRepair& request, const Assessment& a, RecoveryResult& result)
        : request_(request),
          a_(a),
          result_(result),
          m_(a.lostSlices.size()),
          sliceSize_(int64_t(a.set->sliceSize)),
          total_(SumOf(request.pieceSizes)),
          inputs_(uint32_t((total_ + sliceSize_ - 1) / sliceSize_)),
          starts_(Starts(request.pieceSizes)),
          big_(request.pieces, request.pieceSizes),
          recoveryFiles_(request.recoveryFiles.size()),
          isLost_(inputs_, false),
          input_(std::min(std::size_t(sliceSize_), kPartBytes)) {
        for (const int64_t slice : a.lostSlices) isLost_[std::size_t(slice)] = true;
        const Par2::FoundSet& set = *a.set;
        if (!set.fileIds.empty() && set.checksumsFileId == set.fileIds[0] && set.sliceChecksums.size() == inputs_)
            md5s_ = &set.sliceChecksums;
        rowsPerPass_ = RowsPerPass(request.memoryLimit, sliceSize_, m_);
        passes_ = (m_ + rowsPerPass_ - 1) / rowsPerPass_;
        // Each pass reads the sound slices and the chosen recovery slices.
        perPass_ = int64_t(m_) * sliceSize_;
        for (uint32_t i = 0; i < inputs_; ++i)
            if (!isLost_[i]) perPass_ += std::min<int64_t>(sliceSize_, total_ - int64_t(i) * sliceSize_);
        work_ = int64_t(passes_) * perPass_;
    }

    // The recovery slices to use, of `usable`, and the inverse of their
    // matrix. A large matrix takes long to invert: each column looks at the
    // stop and reports that nothing is read yet. False when none of them
    // can be inverted, or on a stop (`result` then says stopped).
    bool Choose(const std::vector<Par2::FoundSlice>& usable) {
        fits_ = true;
        const bool chosen = ChooseSlices(a_, usable, inverse_, chosen_, [this](std::size_t) {
            if (request_.progress) request_.progress(0, work_);
            return !Stopped(request_.stop);
        });
        if (!chosen && Stopped(request_.stop)) Halt();
        return chosen;
    }

    const std::vector<Par2::FoundSlice>& Chosen() const { return chosen_; }

    // False when a rebuilt slice differs from the index's checksum of it.
    bool Fits() const { return fits_; }

    bool Run(std::vector<OutputFile>& outputs) {
        for (std::size_t pass = 0; pass < passes_; ++pass) {
            if (Stopped(request_.stop)) return Halt();
            const std::size_t firstRow = pass * rowsPerPass_;
            Rows out(std::min(rowsPerPass_, m_ - firstRow), std::size_t(sliceSize_));
            if (input_.data == nullptr || !out.Ok()) return Fail(ENOMEM, "not enough memory for the rebuilt data");
            done_ = int64_t(pass) * perPass_;
            if (!Pass(out, firstRow) || !WriteRows(out, firstRow, outputs)) return false;
        }
        return true;
    }

private:
    bool Fail(int error, std::string reason) {
        result_.failure = Error(error, std::move(reason));
        return false;
    }
    bool Fail(RecoveryError failure) {
        result_.failure = std::move(failure);
        return false;
    }

    bool Halt() {
        result_.stopped = true;
        return Fail(ECANCELED, "stopped");
    }

    bool Pass(Rows& out, std::size_t firstRow) {
        const std::size_t rows = out.Count();
        std::vector<uint16_t> factors(rows), powers(m_);
        for (uint32_t i = 0; i < inputs_ + m_; ++i) {
            std::function<bool(std::size_t, std::size_t, unsigned char*)> read;
            if (i < inputs_) {
                if (isLost_[i]) continue;
                read = [this, i](std::size_t at, std::size_t size, unsigned char* buffer) {
                    return ReadBig(int64_t(i) * sliceSize_ + int64_t(at), size, buffer);
                };
                const uint16_t constant = Par2::InputConstant(i);
                for (std::size_t j = 0; j < m_; ++j) powers[j] = Gf16::Power(constant, chosen_[j].exponent);
                for (std::size_t r = 0; r < rows; ++r) {
                    uint16_t f = 0;
                    for (std::size_t j = 0; j < m_; ++j)
                        f ^= Gf16::Multiply(inverse_[(firstRow + r) * m_ + j], powers[j]);
                    factors[r] = f;
                }
                done_ += std::min<int64_t>(sliceSize_, total_ - int64_t(i) * sliceSize_);
            } else {
                const std::size_t j = i - inputs_;
                read = [this, j](std::size_t at, std::size_t size, unsigned char* buffer) {
                    return ReadRecovery(j, at, size, buffer);
                };
                for (std::size_t r = 0; r < rows; ++r) factors[r] = inverse_[(firstRow + r) * m_ + j];
                done_ += sliceSize_;
            }
            const auto none = [](std::size_t, const unsigned char*, std::size_t, std::size_t) {};
            if (!FeedSlice(team_, out, input_, std::size_t(sliceSize_), factors.data(), 0, request_.stop, read, none))
                return Stopped(request_.stop) ? Halt() : false;
            if (request_.progress) request_.progress(done_, work_);
        }
        return true;
    }

    // A sound slice's bytes: from the pieces, or from the big file being
    // rebuilt, where a sound slice lies within sound pieces only.
    bool ReadBig(int64_t offset, std::size_t size, unsigned char* buffer) {
        if (request_.into == nullptr) {
            if (big_.Read(offset, size, buffer, result_.failure)) return true;
            // The sound piece that failed: the one the offset lies in, or a later one it runs into.
            if (result_.failure.step == RecoveryError::Step::None) {
                const auto at = std::upper_bound(starts_.begin(), starts_.end(), offset) - starts_.begin() - 1;
                result_.failure.step = RecoveryError::Step::Read;
                result_.failure.piece = int(at);
                result_.failure.file = request_.pieces[std::size_t(at)];
            }
            return false;
        }
        const int64_t end = std::min<int64_t>(offset + int64_t(size), total_);
        const auto inside = std::size_t(std::max<int64_t>(end - offset, 0));
        std::memset(buffer + inside, 0, size - inside);  // the last slice is padded with zeros
        if (inside == 0 || ReadAllAt(fileno(request_.into->get()), buffer, inside, offset)) return true;
        return Fail(FileError(RecoveryError::Step::Read, errno,
                              errno == 0 ? "the joined file is shorter than it should be" : "cannot read the joined file",
                              {}));
    }

    bool ReadRecovery(std::size_t j, std::size_t at, std::size_t size, unsigned char* buffer) {
        const std::string& name = request_.recoveryFiles[chosen_[j].file];
        PositionedReader& file = recoveryFiles_[chosen_[j].file];
        if ((file.IsOpen() || file.Open(name)) && file.ReadAt(buffer, size, chosen_[j].offset + int64_t(at)))
            return true;
        return Fail(FileError(RecoveryError::Step::Read, errno, "cannot read " + name, name));
    }

    // Each rebuilt slice's bytes go to the lost pieces it overlaps.
    bool WriteRows(const Rows& out, std::size_t firstRow, std::vector<OutputFile>& outputs) {
        for (std::size_t r = 0; r < out.Count(); ++r) {
            const int64_t slice = a_.lostSlices[firstRow + r];
            if (md5s_ != nullptr && Md5Of(out.Row(r), std::size_t(sliceSize_)) != (*md5s_)[std::size_t(slice)].md5)
                fits_ = false;
            const int64_t begin = slice * sliceSize_;
            const int64_t end = std::min(begin + sliceSize_, total_);
            for (std::size_t p = 0; p < request_.lost.size(); ++p) {
                const auto piece = std::size_t(request_.lost[p]);
                const int64_t from = std::max(begin, starts_[piece]);
                const int64_t to = std::min(end, starts_[piece] + request_.pieceSizes[piece]);
                if (from >= to) continue;
                // Only the lost piece's part of a slice that straddles a sound one is written.
                if (request_.into != nullptr) {
                    if (!request_.into->WriteAt(out.Row(r) + (from - begin), std::size_t(to - from), from))
                        return Fail(FileError(RecoveryError::Step::Write, request_.into->Error(),
                                              "cannot write the joined file", {}, int(piece)));
                    continue;
                }
                if (!outputs[p].WriteAt(out.Row(r) + (from - begin), std::size_t(to - from), from - starts_[piece]))
                    return Fail(FileError(RecoveryError::Step::Write, outputs[p].Error(),
                                          "cannot write " + request_.outputs[p], request_.outputs[p], int(piece)));
            }
        }
        return true;
    }

    const RecoveryRepair& request_;
    const Assessment& a_;
    std::vector<uint16_t> inverse_;
    std::vector<Par2::FoundSlice> chosen_;
    RecoveryResult& result_;
    const std::size_t m_;
    const int64_t sliceSize_, total_;
    const uint32_t inputs_;
    const std::vector<int64_t> starts_;
    BigFileBytes big_;
    std::vector<PositionedReader> recoveryFiles_;
    std::vector<bool> isLost_;
    AlignedBuffer input_;
    Team team_;
    std::size_t rowsPerPass_ = 1, passes_ = 0;
    int64_t perPass_ = 0, work_ = 0, done_ = 0;
    const std::vector<Par2::SliceChecksum>* md5s_ = nullptr;
    bool fits_ = true;
};

// Puts rebuilt piece p under its name, on the disk first: a flush that
// fails is told apart from a write.
bool Commit(const RecoveryRepair& request, std::vector<OutputFile>& outputs, std::size_t p, RecoveryResult& result) {
    const bool synced = outputs[p].Sync();
    if (synced && outputs[p].Commit(false)) return true;
    result.failure = FileError(synced ? RecoveryError::Step::Write : RecoveryError::Step::Flush, outputs[p].Error(),
                               "cannot write " + request.outputs[p], request.outputs[p], request.lost[p]);
    return false;
}

// Whether what a rebuild wrote is every lost piece's: its slices agree with
// the index's checksums, and the caller's own check says so. Pieces of
// their own are put under their names first, for the caller to read.
bool Fits(const RecoveryRepair& request, const Rebuild& rebuild, std::vector<OutputFile>& outputs,
          RecoveryResult& result) {
    if (!rebuild.Fits()) return false;
    if (!request.rebuiltFits) return true;
    if (request.into != nullptr && std::fflush(request.into->get()) != 0) {
        result.failure = FileError(RecoveryError::Step::Write, errno, "cannot write the joined file", {});
        return false;
    }
    for (std::size_t p = 0; p < outputs.size(); ++p)
        if (!Commit(request, outputs, p, result)) return false;
    for (std::size_t p = 0; p < request.lost.size(); ++p)
        if (!request.rebuiltFits(p)) return false;
    return true;
}

}  // namespace

namespace {

RecoveryResult Repair(const RecoveryRepair& request) {
    RecoveryResult result;
    if (!ValidRequest(request, result)) return result;
    const Par2::ScanResult scan = Par2::ScanFiles(request.recoveryFiles, request.stop);
    if (scan.stopped) {
        result.stopped = true;
        result.failure = Error(ECANCELED, "stopped");
        return result;
    }
    const Assessment a = Assess(request, scan, result);
    if (a.set == nullptr || result.rebuildable < result.missing) {
        std::string reason = std::to_string(result.missing) +
                             " pieces are missing or damaged; the recovery data can rebuild " +
                             std::to_string(result.rebuildable);
        if (a.set != nullptr && a.lostSlices.size() > a.mostLost && a.lostSlices.size() <= a.usable.size())
            reason += ": the memory allowed for recovery data is too small to solve for all of them";
        result.failure = Error(0, reason);
        return result;
    }
    if (request.into != nullptr && std::fflush(request.into->get()) != 0) {
        // What the join wrote through the stream must be there for the reads.
        result.failure = FileError(RecoveryError::Step::Write, errno, "cannot write the joined file", {});
        return result;
    }
    std::vector<OutputFile> outputs(request.into != nullptr ? 0 : request.lost.size());
    // A try that does not fit leaves nothing: its pieces may already have their names.
    auto removeOutputs = [&] {
        for (std::size_t p = 0; p < outputs.size(); ++p) {
            outputs[p].Abandon();
            RemoveFile(request.outputs[p]);
        }
    };
    Rebuild rebuild(request, a, result);
    std::vector<std::vector<Par2::FoundSlice>> tried;
    bool solvable = false;
    for (const std::vector<Par2::FoundSlice>& usable : Tries(a)) {
        if (!rebuild.Choose(usable)) {
            if (result.stopped) return result;
            continue;
        }
        solvable = true;
        if (std::any_of(tried.begin(), tried.end(), [&](const auto& t) { return SameSlices(t, rebuild.Chosen()); }))
            continue;
        tried.push_back(rebuild.Chosen());
        for (std::size_t p = 0; p < outputs.size(); ++p) {
            if (!outputs[p].Open(request.outputs[p], false)) {
                result.failure = FileError(RecoveryError::Step::Write, outputs[p].Error(),
                                           "cannot create " + request.outputs[p], request.outputs[p], request.lost[p]);
                removeOutputs();
                return result;
            }
        }
        if (!rebuild.Run(outputs)) {
            removeOutputs();
            return result;
        }
        if (Fits(request, rebuild, outputs, result)) {
            for (std::size_t p = 0; p < outputs.size(); ++p) {
                if (request.rebuiltFits == nullptr && !Commit(request, outputs, p, result)) {
                    removeOutputs();
                    return result;
                }
                result.files.push_back({request.outputs[p], request.pieceSizes[std::size_t(request.lost[p])], {}});
            }
            result.ok = true;
            return result;
        }
        removeOutputs();
        result.stopped = Stopped(request.stop);
        if (result.stopped) result.failure = Error(ECANCELED, "stopped");
        if (result.stopped || !result.failure.reason.empty()) return result;
    }
    if (!solvable) {
        result.rebuildable = 0;
        result.failure = Error(0, "the recovery data present cannot solve for these pieces");
        return result;
    }
    result.notFitting = true;
    result.failure = Error(0, "every way the recovery data present rebuilds the pieces gives other bytes");
    return result;
}

}  // namespace

RecoveryResult RepairPieces(const RecoveryRepair& request) {
    return Guarded([&] { return Repair(request); });
}
