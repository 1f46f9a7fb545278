#include "CraftedPar2.h"
#include "io/OutputFile.h"
#include "recovery/Gf16.h"
#include "recovery/Par2Packets.h"
#include "recovery/Recovery.h"
#include "recovery/Threads.h"
#include "recovery/WrittenPieces.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <new>
#include <stdexcept>
#include <numeric>
#include <random>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary | std::ios::trunc) << bytes;
}

// The names of the files a create wrote, the index first.
std::vector<std::string> Names(const RecoveryResult& made) {
    std::vector<std::string> names;
    for (const auto& f : made.files) names.push_back(f.name);
    return names;
}

// A big file split into pieces in a folder of its own.
class RecoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("quorvel-recovery-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    void MakeSet(const std::vector<int64_t>& sizes, unsigned seed = 1) {
        sizes_ = sizes;
        std::mt19937 random(seed);
        big_.resize(std::size_t(std::accumulate(sizes.begin(), sizes.end(), int64_t{0})));
        for (auto& c : big_) c = char(random());
        Write(Path("big.bin"), big_);
        pieces_.clear();
        std::size_t at = 0;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            pieces_.push_back(Path("big.bin." + std::to_string(i + 1)));
            Write(pieces_.back(), big_.substr(at, std::size_t(sizes[i])));
            at += std::size_t(sizes[i]);
        }
    }

    // A create of the big file's recovery files into `folder`.
    RecoveryCreate CreateRequest(const fs::path& folder) const {
        RecoveryCreate request;
        request.bigFile = Path("big.bin");
        request.folder = folder.string();
        request.pieceSizes = sizes_;
        return request;
    }

    RecoveryResult Create(int lost, int64_t memory = 256 << 20) {
        RecoveryCreate request = CreateRequest(dir_);
        request.lostPieces = lost;
        request.memoryLimit = memory;
        request.progress = [this](int64_t done, int64_t total) { progress_ = {done, total}; };
        return CreateRecoveryFiles(request);
    }

    // Another version of the set (same name and sizes, other bytes) with its
    // recovery files in `other`, then the set itself.
    void MakeOtherVersionIn(const fs::path& other, const std::vector<int64_t>& sizes) {
        fs::create_directories(other);
        MakeSet(sizes, 2);
        ASSERT_TRUE(CreateRecoveryFiles(CreateRequest(other)).ok);
        MakeSet(sizes, 1);
    }

    RecoveryRepair Repair(const std::vector<int>& lost, int64_t memory = 256 << 20) {
        RecoveryRepair request;
        request.recoveryFiles = FindRecoveryFiles(dir_.string(), "big.bin");
        request.name = "big.bin";
        request.pieces = pieces_;
        request.pieceSizes = sizes_;
        request.lost = lost;
        for (const int p : lost) request.outputs.push_back(pieces_[std::size_t(p)] + ".rebuilt");
        request.memoryLimit = memory;
        request.progress = [this](int64_t done, int64_t total) { progress_ = {done, total}; };
        return request;
    }

    std::vector<fs::path> Entries() const {
        std::vector<fs::path> entries;
        for (const auto& entry : fs::directory_iterator(dir_)) entries.push_back(entry.path());
        std::sort(entries.begin(), entries.end());
        return entries;
    }

    // Writes bytes [0, upTo) of the big file into pieces in `folder` as a
    // split's copy does: each piece into a nameless file that takes its name
    // when whole, `written` told of every few bytes once they are in it.
    void WritePieces(WrittenPieces& written, const fs::path& folder, int64_t upTo) const {
        fs::create_directories(folder);
        int64_t at = 0;
        for (std::size_t i = 0; i < sizes_.size() && at < upTo; ++i) {
            const std::string name = (folder / ("big.bin." + std::to_string(i + 1))).string();
            OutputFile out;
            ASSERT_TRUE(out.Open(name, false));
            ASSERT_TRUE(written.Writing(i, fileno(out.get())));
            const int64_t end = std::min(at + sizes_[i], upTo);
            for (int64_t within = 0; at < end; std::this_thread::yield()) {
                const int64_t run = std::min<int64_t>(1000, end - at);
                ASSERT_TRUE(out.WriteAt(big_.data() + at, std::size_t(run), within));
                within += run;
                at += run;
                written.Written(at);
            }
            if (at - (end - sizes_[i]) < sizes_[i]) return;  // stopped within this piece: never named
            ASSERT_TRUE(out.Commit(false));
            written.Named(i, name);
        }
    }

    std::map<std::string, std::string> RecoveryFilesIn(const fs::path& folder) const {
        std::map<std::string, std::string> files;
        for (const auto& f : FindRecoveryFiles(folder.string(), "big.bin"))
            files[fs::path(f).filename().string()] = Read(f);
        return files;
    }

    // Has the repair ask whether each rebuilt piece is the lost one, counting the asks.
    void CheckRebuilt(RecoveryRepair& request, int& calls) const {
        request.rebuiltFits = [this, &request, &calls](std::size_t i) {
            ++calls;
            return Read(request.outputs[i]) == Piece(request.lost[i]);
        };
    }

    std::string Piece(int p) const {
        const auto at = std::accumulate(sizes_.begin(), sizes_.begin() + p, int64_t{0});
        return big_.substr(std::size_t(at), std::size_t(sizes_[std::size_t(p)]));
    }

    fs::path dir_;
    std::string big_;
    std::vector<int64_t> sizes_;
    std::vector<std::string> pieces_;
    std::pair<int64_t, int64_t> progress_;  // the last done and total reported
};

TEST(RecoveryPlan, SplitsFullMediumPiecesIntoFewFilesNoLargerThanAPiece) {
    struct Case {
        int64_t piece, total;
        int lost;
        uint32_t files;  // index included
        bool whole;
    } const cases[] = {
        {1457664, 1ll << 30, 1, 3, true},  // two half-piece volumes
        {1457664, 1ll << 30, 4, 7, true},  // thirds: two per volume
        {100 << 20, 1ll << 30, 1, 3, true}, {100 << 20, 1ll << 30, 4, 7, true},
        {1000, 2500, 1, 3, true},  // a piece not a multiple of 4... still whole quarters
        {1001, 3003, 2, 0, false},
    };
    // No slicing fits: pieces too small for the slices' checksums in the index.
    EXPECT_FALSE(PlanRecovery(std::vector<int64_t>(100000, 100), 1, 100, "big.iso").ok);
    EXPECT_FALSE(PlanRecovery({}, 1, 100, "big.iso").ok);
    // More lost pieces than the set has is every piece, and says so.
    EXPECT_EQ(PlanRecovery({1000, 1000, 1000}, 5, 1000, "big.iso").lostPieces, 3);
    for (const auto& c : cases) {
        std::vector<int64_t> sizes(std::size_t(c.total / c.piece), c.piece);
        if (c.total % c.piece) sizes.push_back(c.total % c.piece);
        const RecoveryPlan plan = PlanRecovery(sizes, c.lost, c.piece, "big.iso");
        ASSERT_TRUE(plan.ok) << plan.failure.reason;
        if (c.files != 0) {
            EXPECT_EQ(plan.FileCount(), c.files) << c.piece << " K=" << c.lost;
        }
        EXPECT_EQ(plan.wholeSlices, c.whole) << c.piece;
        EXPECT_EQ(plan.sliceSize % 4, 0);
        EXPECT_LE(plan.indexBytes, c.piece);
        EXPECT_LE(plan.totalBytes - plan.indexBytes, int64_t(plan.volumeCount) * c.piece);
        EXPECT_LE(plan.totalBytes, int64_t(plan.FileCount()) * c.piece);
    }
}

// Round trips: any `lost` pieces of a set rebuilt from what a split with K wrote.
TEST_F(RecoveryTest, RebuildsLostPiecesExactly) {
    struct Case {
        std::vector<int64_t> sizes;
        int k;
        std::vector<int> lost;
        int64_t memory;
    } const cases[] = {
        {{4096, 4096, 4096, 1000}, 1, {1}, 256 << 20},
        {{4096, 4096, 4096, 1000}, 1, {3}, 256 << 20},  // the short last piece
        {{8192, 8192, 8192, 8192, 8192, 777}, 2, {0, 5}, 256 << 20},
        {{8192, 8192, 8192, 8192, 8192, 777}, 4, {0, 2, 3, 4}, 5000},  // several passes both ways
        {{3000, 5002, 4096, 7010, 123}, 2, {1, 3}, 256 << 20},         // edited sizes: slices cross pieces
        {{65536, 65536, 65536, 65536, 65536, 65536, 65536, 4}, 4, {6, 1, 7, 4}, 256 << 20},
    };
    for (const auto& c : cases) {
        MakeSet(c.sizes);
        const RecoveryResult made = Create(c.k, c.memory);
        ASSERT_TRUE(made.ok) << made.failure.reason;
        const int64_t cap = *std::max_element(c.sizes.begin(), c.sizes.end());
        int64_t bytes = 0;
        for (const auto& f : made.files) {
            EXPECT_LE(f.bytes, cap) << f.name;
            bytes += f.bytes;
        }
        EXPECT_EQ(made.files.size(), made.plan.FileCount());
        EXPECT_EQ(bytes, made.plan.totalBytes);  // what the plan showed before the split
        EXPECT_EQ(progress_.first, progress_.second);
        for (const int p : c.lost) Write(pieces_[std::size_t(p)], "damaged");  // what a bad disk leaves
        const RecoveryRepair request = Repair(c.lost, c.memory);
        EXPECT_EQ(CountRebuildable(request).rebuildable, int(c.lost.size()));
        const RecoveryResult repaired = RepairPieces(request);
        ASSERT_TRUE(repaired.ok) << repaired.failure.reason;
        EXPECT_TRUE(repaired.passedOver.empty());
        EXPECT_EQ(progress_.first, progress_.second);
        for (std::size_t i = 0; i < c.lost.size(); ++i)
            EXPECT_EQ(Read(request.outputs[i]), Piece(c.lost[i])) << "piece " << c.lost[i] << " K=" << c.k;

        // Straight into the big file, as a join writes it: the sound pieces
        // at their offsets, the lost ones' ranges holding whatever was there.
        // No piece file is there to read: the sound slices come from the big file.
        std::string partial = big_;
        int64_t at = 0;
        for (std::size_t p = 0; p < c.sizes.size(); at += c.sizes[p], ++p) {
            if (std::count(c.lost.begin(), c.lost.end(), int(p)) > 0)
                std::fill_n(partial.begin() + at, c.sizes[p], '\xA5');
        }
        for (const auto& piece : pieces_) fs::remove(piece);
        OutputFile joined;
        ASSERT_TRUE(joined.Open(Path("joined"), true));
        ASSERT_TRUE(joined.Write(partial.data(), partial.size()));
        RecoveryRepair into = request;
        into.outputs.clear();
        into.into = &joined;
        const std::vector<fs::path> before = Entries();
        const RecoveryResult rebuilt = RepairPieces(into);
        EXPECT_EQ(Entries(), before);  // nothing written beside the set
        ASSERT_TRUE(rebuilt.ok) << rebuilt.failure.reason;
        EXPECT_EQ(progress_.first, progress_.second);
        ASSERT_TRUE(joined.Commit(false));
        EXPECT_TRUE(Read(Path("joined")) == big_) << "K=" << c.k;
        for (const auto& entry : fs::directory_iterator(dir_)) fs::remove(entry.path());
    }
}

TEST_F(RecoveryTest, AStopLeavesNoRecoveryFile) {
    // Stopped in the second pass over the file: the index and a volume are written by then.
    MakeSet({4096, 4096, 4096});
    std::atomic<bool> stop{false};
    RecoveryCreate request = CreateRequest(dir_);
    request.memoryLimit = 2048;
    request.stop = &stop;
    request.progress = [&](int64_t done, int64_t) { stop = done > 12288; };
    const RecoveryResult result = CreateRecoveryFiles(request);
    EXPECT_TRUE(result.stopped);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(FindRecoveryFiles(dir_.string(), "big.bin").empty());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 4);  // the file and its pieces
}

// Made while a copy writes the pieces, the recovery files are those of the
// whole file, without reading it (it is gone): every pass, the slices' and
// the whole file's MD5 read the pieces, waiting for bytes not written yet.
TEST_F(RecoveryTest, FilesMadeFromPiecesAsTheyAreWrittenAreThoseOfTheWholeFile) {
    struct Case {
        std::vector<int64_t> sizes;
        int k;
        int64_t memory;
    } const cases[] = {
        {{4096, 4096, 4096, 1000}, 1, 256 << 20},
        {{8192, 8192, 8192, 8192, 8192, 777}, 4, 5000},  // several passes over the pieces
        {{3000, 5002, 4096, 7010, 123}, 2, 256 << 20},   // slices cross pieces
        {{65536, 65536, 65536, 65536, 65536, 20000}, 2, 256 << 20},
    };
    for (const auto& c : cases) {
        MakeSet(c.sizes);
        ASSERT_TRUE(Create(c.k, c.memory).ok);
        const auto expected = RecoveryFilesIn(dir_);
        for (const auto& f : FindRecoveryFiles(dir_.string(), "big.bin")) fs::remove(f);
        const fs::path made = dir_ / "made", written = dir_ / "written";
        fs::create_directories(made);
        RecoveryCreate request = CreateRequest(made);
        request.bigFile = Path("gone.bin");
        request.name = "big.bin";
        request.lostPieces = c.k;
        request.memoryLimit = c.memory;
        request.written = std::make_shared<WrittenPieces>(sizes_);
        std::thread copy([&] {
            WritePieces(*request.written, written, int64_t(big_.size()));
            request.written->End();
        });
        const RecoveryResult result = CreateRecoveryFiles(request);
        copy.join();
        ASSERT_TRUE(result.ok) << result.failure.reason;
        EXPECT_EQ(result.files.size(), expected.size());
        EXPECT_TRUE(RecoveryFilesIn(made) == expected) << "K=" << c.k;
        fs::remove_all(made);
        fs::remove_all(written);
    }
    // Pieces other than those planned (here one more) are refused: the files would speak of another file.
    RecoveryCreate request = CreateRequest(dir_);
    request.pieceSizes = {sizes_.begin(), sizes_.end() - 1};
    request.written = std::make_shared<WrittenPieces>(sizes_);
    WritePieces(*request.written, dir_ / "written", int64_t(big_.size()));
    request.written->End();
    EXPECT_FALSE(CreateRecoveryFiles(request).ok);
    EXPECT_TRUE(RecoveryFilesIn(dir_).empty());
}

// A create waiting for bytes a copy has not written ends when a stop comes,
// or when the copy ends short of them (it failed), and leaves no file.
TEST_F(RecoveryTest, AWaitForBytesNotWrittenEndsWithAStopOrAShortCopy) {
    MakeSet({4096, 4096, 4096, 4096});
    for (const bool stopping : {true, false}) {
        SCOPED_TRACE(stopping ? "stopped" : "copy failed");
        const fs::path made = dir_ / "made";
        fs::create_directories(made);
        std::atomic<bool> stop{false};
        RecoveryCreate request = CreateRequest(made);
        request.stop = &stop;
        request.written = std::make_shared<WrittenPieces>(sizes_);
        WritePieces(*request.written, dir_ / "written", 6000);  // a piece and a half
        auto result = std::async(std::launch::async, [&] { return CreateRecoveryFiles(request); });
        while (request.written->Waiting() == 0 &&
               result.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
        }
        if (stopping)
            stop = true;
        else
            request.written->End();
        // A wait that missed what ended it would last for ever: let it go, and fail.
        if (result.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
            ADD_FAILURE() << "the create went on waiting";
            stop = true;
            request.written->End();
        }
        const RecoveryResult got = result.get();
        EXPECT_FALSE(got.ok);
        EXPECT_EQ(got.stopped, stopping) << got.failure.reason;
        EXPECT_TRUE(fs::is_empty(made));
        fs::remove_all(made);
        fs::remove_all(dir_ / "written");
    }
}

TEST_F(RecoveryTest, DamageAnywhereInTheRecoveryFilesNeverGivesWrongBytes) {
    MakeSet({4000, 4000, 4000, 4000, 1000});
    ASSERT_TRUE(Create(2).ok);
    const std::vector<std::string> files = FindRecoveryFiles(dir_.string(), "big.bin");
    std::vector<std::string> sound;
    for (const auto& f : files) sound.push_back(Read(f));
    fs::remove(pieces_[1]);
    fs::remove(pieces_[4]);
    std::mt19937 random(3);
    int repaired = 0;
    for (int round = 0; round < 40; ++round) {
        for (std::size_t i = 0; i < files.size(); ++i) {
            std::string bytes = sound[i];
            for (int edit = 0; edit < 3 && random() % 3 == 0; ++edit) {
                const std::size_t at = random() % bytes.size();
                switch (random() % 3) {
                case 0: bytes[at] = char(random()); break;
                case 1: bytes.erase(at, 1 + random() % 200); break;
                default: bytes.insert(at, std::string(1 + random() % 9, char(random())));
                }
            }
            Write(files[i], bytes);
        }
        const RecoveryRepair request = Repair({1, 4});
        const RecoveryResult result = RepairPieces(request);
        if (result.ok) {
            ++repaired;
            EXPECT_EQ(Read(request.outputs[0]), Piece(1)) << round;
            EXPECT_EQ(Read(request.outputs[1]), Piece(4)) << round;
        } else {
            for (const auto& out : request.outputs) EXPECT_FALSE(fs::exists(out)) << round;
        }
        for (const auto& out : request.outputs) fs::remove(out);
    }
    EXPECT_GT(repaired, 0);  // packets past a damaged spot are still found
}

using RecoveryFiles = RecoveryTest;

TEST_F(RecoveryFiles, AreFoundByTheBigFilesName) {
    for (const char* name : {"big.bin.par2", "big.bin.vol00+01.par2", "big.bin.vol001+100.par2", "big.bin2.par2",
                             "big.bin.vol.txt", "big.bin.par2.~ab12cd", "big.par2", "big.bin.Quorved_1"}) {
        Write(dir_ / name, "x");
    }
    std::vector<std::string> found;
    for (const auto& f : FindRecoveryFiles(dir_.string(), "big.bin")) found.push_back(fs::path(f).filename().string());
    EXPECT_EQ(found, (std::vector<std::string>{"big.bin.par2", "big.bin.vol00+01.par2", "big.bin.vol001+100.par2"}));
}

TEST_F(RecoveryTest, TooManyLostFailsBeforeWritingAndSaysHowMany) {
    MakeSet({4096, 4096, 4096, 4096, 4096});
    ASSERT_TRUE(Create(2).ok);
    const RecoveryRepair request = Repair({0, 2, 4});
    const RecoveryResult result = RepairPieces(request);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.missing, 3);
    EXPECT_EQ(result.rebuildable, 2);
    for (const auto& out : request.outputs) EXPECT_FALSE(fs::exists(out));
}

TEST_F(RecoveryTest, DamagedAndForeignRecoveryFilesArePassedOver) {
    // Another set of the same name and size, made elsewhere.
    const fs::path other = dir_ / "other";
    ASSERT_NO_FATAL_FAILURE(MakeOtherVersionIn(other, {4096, 4096, 4096, 4096}));
    const RecoveryResult made = Create(1);
    ASSERT_TRUE(made.ok);
    ASSERT_EQ(made.files.size(), 3u);  // index and two volumes of half a piece
    const std::string volume = made.files[2].name, sound = Read(volume);
    fs::copy_file(other / "big.bin.vol00+01.par2", Path("big.bin.vol90+01.par2"));
    Write(pieces_[2], "");
    struct Case {
        bool damageVolume;
        bool ok;
        std::size_t passedOver;
    } const cases[] = {{true, false, 2}, {false, true, 1}};
    for (const auto& c : cases) {
        std::string bytes = sound;
        if (c.damageVolume) bytes[bytes.size() - 100] ^= 1;  // inside its recovery data
        Write(volume, bytes);
        const RecoveryRepair request = Repair({2});
        const RecoveryResult result = RepairPieces(request);
        EXPECT_EQ(result.ok, c.ok) << result.failure.reason;
        EXPECT_EQ(result.rebuildable, c.ok ? 1 : 0);
        EXPECT_EQ(result.passedOver.size(), c.passedOver);
        if (c.ok) {
            EXPECT_EQ(Read(request.outputs[0]), Piece(2));
        }
    }
}

// Crafted recovery files: what check counts is what repair rebuilds, and a
// repair that cannot leaves nothing.
void ExpectRebuilds(const RecoveryRepair& request, const std::string& piece, bool rebuilds) {
    const RecoveryResult counted = CountRebuildable(request), repaired = RepairPieces(request);
    EXPECT_EQ(counted.rebuildable, rebuilds ? 1 : 0);
    EXPECT_EQ(repaired.ok, rebuilds) << repaired.failure.reason;
    EXPECT_EQ(repaired.rebuildable, counted.rebuildable);
    EXPECT_EQ(fs::exists(request.outputs[0]), rebuilds);
    if (rebuilds) {
        EXPECT_TRUE(Read(request.outputs[0]) == piece);
    }
    fs::remove(request.outputs[0]);
}

// The most memory the process has held so far; 0 where the system does not say.
int64_t PeakBytes() {
#ifdef _WIN32
    return 0;
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return int64_t(usage.ru_maxrss) * 1024;
#endif
}

// What a crafted set claims is held to the big file, the memory and the
// slices present, and takes no memory beyond.
TEST_F(RecoveryTest, CraftedSetsCountOnlyWhatCanBeRebuiltWithinTheMemory) {
    MakeSet({1000, 1000, 1000});
    auto slice = [&](uint32_t e, std::size_t bytes) {  // the true one of exponent e for 1000-byte slices
        std::string data(1000, '\0');
        for (uint32_t i = 0; i < 3; ++i)
            Gf16::MultiplyAddTables(big_.data() + 1000 * i, data.data(), Gf16::Power(Par2::InputConstant(i), e), 1000);
        data.resize(bytes, '\0');
        return data;
    };
    struct Case {
        const char* what;
        uint64_t sliceSize;
        uint32_t slices;  // of `bytes` each, exponents from 0
        std::size_t bytes;
        bool wholeAfter;  // then one of 1000 bytes
        int64_t memory;
        bool rebuilds, passedOver;
    } const cases[] = {
        {"a slice of the slice size", 1000, 1, 1000, false, 256 << 20, true, false},
        {"a 4-byte slice against 1000-byte slices", 1000, 1, 4, false, 256 << 20, false, true},
        {"a 4-byte slice before a whole one", 1000, 1, 4, true, 256 << 20, true, false},
        {"empty slices, 96 bytes said", 96, 10500, 0, false, 256 << 20, false, true},
        {"more lost slices than the memory takes a matrix of", 4, 10500, 4, false, 64 << 10, false, false},
        {"slices larger than the memory", 1000, 1, 1000, false, 512, false, true},
        {"slices larger than the file", 4000, 1, 4000, false, 256 << 20, false, true},
        {"1 GiB slices", uint64_t(1) << 30, 1, 4, false, 256 << 20, false, true},
        {"4 GiB slices", uint64_t(4) << 30, 1, 4, false, 256 << 20, false, true},
        {"a slice size that wraps a sum", 0xFFFFFFFFFFFFFFFCull, 1, 4, false, 256 << 20, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const CraftedPar2 set("big.bin", 3000, c.sliceSize);
        std::string file = set.critical;
        for (uint32_t e = 0; e < c.slices; ++e) file += set.Slice(e, slice(e, c.bytes));
        if (c.wholeAfter) file += set.Slice(c.slices, slice(c.slices, 1000));
        Write(Path("big.bin.par2"), file);
        const RecoveryRepair request = Repair({1}, c.memory);
        const int64_t peak = PeakBytes();
        ExpectRebuilds(request, Piece(1), c.rebuilds);
        EXPECT_LT(PeakBytes() - peak, 64 << 20);
        EXPECT_EQ(CountRebuildable(request).passedOver.size(), c.passedOver ? 1u : 0u);
    }
}

// Junk before the genuine packets is read once on the way to them: magics
// over and over, tiny sound packets by the hundred thousand. Planted
// volumes are passed over without a hang: one whose headers each claim the
// rest of it (hashing it again and again), a FIFO (its open would wait).
TEST_F(RecoveryTest, JunkAndPlantedVolumesArePassedOnTheWayToTheGenuinePackets) {
    MakeSet({1000, 1000, 1000});
    ASSERT_TRUE(Create(1).ok);
    const std::map<std::string, std::string> genuine = RecoveryFilesIn(dir_);
    const std::string magic("PAR2\0PKT", 8);
    const std::string tiny = CraftedPar2("other.bin", 3000, 1000).Packet(Par2::PacketType::Creator, "");
    for (const bool magics : {true, false}) {
        SCOPED_TRACE(magics ? "magics" : "tiny packets");
        for (const auto& [name, bytes] : genuine) {
            std::string junk;
            for (int i = 0; i < (magics ? (3 << 20) / 8 : 200000); ++i) junk += magics ? magic : tiny;
            Write(Path(name), junk + bytes);
        }
        ExpectRebuilds(Repair({1}), Piece(1), true);
    }
    std::string claims;
    for (uint64_t at = 0, size = 64 * 100000; at < size; at += 64) {
        claims += magic;
        for (int i = 0; i < 8; ++i) claims += char(((size - at) >> (8 * i)) & 0xff);
        claims.append(48, '\x11');
    }
    std::vector<std::string> planted = {Path("big.bin.vol90+1.par2")};
    Write(planted[0], claims);
#ifndef _WIN32
    planted.push_back(Path("big.bin.vol99+1.par2"));
    ASSERT_EQ(mkfifo(planted[1].c_str(), 0600), 0);
#endif
    const RecoveryRepair request = Repair({1});
    auto repaired = std::async(std::launch::async, [&] { return RepairPieces(request); });
    if (repaired.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        ADD_FAILURE() << "the repair waits in the FIFO";
#ifndef _WIN32
        close(open(planted.back().c_str(), O_RDWR));  // lets it go
#endif
    }
    const RecoveryResult result = repaired.get();
    ASSERT_TRUE(result.ok) << result.failure.reason;
    EXPECT_EQ(result.passedOver, planted);
    EXPECT_TRUE(Read(request.outputs[0]) == Piece(1));
}

// A stop is looked at while the files are scanned, while the matrix is
// inverted (reported as nothing read yet) and in every pass; it ends with
// `stopped` and no piece written.
TEST_F(RecoveryTest, AStopEndsTheScanTheInversionAndThePasses) {
    MakeSet({1000, 1000, 1000});
    ASSERT_TRUE(Create(1).ok);
    std::atomic<bool> stop{false};
    RecoveryRepair request = Repair({1});
    request.stop = &stop;
    for (const bool inverting : {true, false}) {
        SCOPED_TRACE(inverting ? "inverting" : "in a pass");
        stop = false;
        int64_t stoppedAt = -1;
        request.progress = [&](int64_t done, int64_t) {
            if (stoppedAt < 0 && (inverting || done > 0)) stop = true, stoppedAt = done;
        };
        const RecoveryResult result = RepairPieces(request);
        EXPECT_TRUE(result.stopped && !result.ok);
        EXPECT_EQ(stoppedAt == 0, inverting);
        EXPECT_FALSE(fs::exists(request.outputs[0]));
    }
    stop = true;
    const RecoveryResult counted = CountRebuildable(request);
    EXPECT_TRUE(counted.stopped && !counted.ok);
}

// A planted volume that sorts before the genuine ones, with their set's ID:
// its slices are tried, found not to fit, and dropped for the genuine ones
// of the same exponent -- told by the index's slice checksums, or without
// them by the caller's check; the files the caller trusts are used first.
TEST_F(RecoveryTest, APlantedSliceIsDroppedForAnotherOfItsExponent) {
    MakeSet({1000, 1000, 1000});
    const RecoveryResult made = Create(1);
    ASSERT_TRUE(made.ok) << made.failure.reason;
    const std::vector<std::string> files = Names(made);  // the index first
    const std::string index = files[0], withChecksums = Read(index);
    Write(Path("big.bin.vol00+00.par2"), PlantedSlices(files, '\x5a'));
    fs::remove(pieces_[1]);
    struct Case {
        bool sliceChecksums, callerChecks, trustGenuine;
        int fitsCalls;  // how often the caller was asked: 1 when the first rebuild was right
    } const cases[] = {
        {true, false, false, 0},  // the index's MD5s alone find the planted slices out
        {false, true, false, 2},  // without them, the caller's check does
        {true, true, true, 1},    // trusted genuine files: the planted one is never needed
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.sliceChecksums) + std::to_string(c.callerChecks) + std::to_string(c.trustGenuine));
        Write(index, c.sliceChecksums ? withChecksums : WithoutPackets(withChecksums, "IFSC"));
        RecoveryRepair request = Repair({1});
        ASSERT_EQ(fs::path(request.recoveryFiles[1]).filename(), "big.bin.vol00+00.par2");  // it sorts first
        if (c.trustGenuine) {
            std::rotate(request.recoveryFiles.begin() + 1, request.recoveryFiles.begin() + 2,
                        request.recoveryFiles.end());
            request.trustedFiles = request.recoveryFiles.size() - 1;
        }
        int calls = 0;
        if (c.callerChecks) CheckRebuilt(request, calls);
        const RecoveryResult result = RepairPieces(request);
        ASSERT_TRUE(result.ok) << result.failure.reason;
        EXPECT_TRUE(Read(request.outputs[0]) == Piece(1)) << "the rebuilt piece is not the lost one";
        EXPECT_EQ(calls, c.fitsCalls);
        fs::remove(request.outputs[0]);
    }
    // Only planted slices: every try fails, and nothing is left behind.
    for (std::size_t i = 1; i < files.size(); ++i) fs::remove(files[i]);
    RecoveryRepair request = Repair({1});
    int calls = 0;
    CheckRebuilt(request, calls);
    const std::vector<fs::path> before = Entries();
    const RecoveryResult result = RepairPieces(request);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.notFitting);
    EXPECT_EQ(Entries(), before);
}

// Exponents the trusted files hold are used before lower ones only others
// hold: the genuine volumes of the lowest exponents are gone, and a planted
// file holds garbage for them.
TEST_F(RecoveryTest, TheTrustedFilesSlicesAreUsedBeforeOthers) {
    MakeSet({1000, 1000, 1000});
    const RecoveryResult made = Create(2);
    ASSERT_TRUE(made.ok) << made.failure.reason;
    const std::vector<std::string> files = Names(made);  // the index and four volumes
    ASSERT_EQ(files.size(), 5u);
    const std::string planted = Path("big.bin.vol00+00.par2");
    Write(planted, PlantedSlices(files, '\x5a'));
    for (const std::string& gone : {files[1], files[2], pieces_[1]}) fs::remove(gone);
    RecoveryRepair request = Repair({1});
    request.recoveryFiles = {files[0], files[3], files[4], planted};
    request.trustedFiles = 3;
    int calls = 0;
    CheckRebuilt(request, calls);
    const RecoveryResult result = RepairPieces(request);
    ASSERT_TRUE(result.ok) << result.failure.reason;
    EXPECT_TRUE(Read(request.outputs[0]) == Piece(1)) << "the rebuilt piece is not the lost one";
    EXPECT_EQ(calls, 1);
}

// Recovery files of another file of the same name and size, or of another
// name, rebuild nothing: the count says so before any rebuild is tried.
TEST_F(RecoveryTest, ASetOfOtherBytesOrAnotherNameCountsNothing) {
    const fs::path other = dir_ / "other";
    ASSERT_NO_FATAL_FAILURE(MakeOtherVersionIn(other, {1000, 1000, 1000}));
    for (const auto& f : FindRecoveryFiles(other.string(), "big.bin")) fs::copy_file(f, dir_ / fs::path(f).filename());
    fs::remove(pieces_[1]);
    RecoveryResult count = CountRebuildable(Repair({1}));
    EXPECT_EQ(count.rebuildable, 0);
    EXPECT_TRUE(count.otherVersion);

    for (const auto& f : FindRecoveryFiles(dir_.string(), "big.bin")) fs::remove(f);
    ASSERT_TRUE(Create(1).ok);
    count = CountRebuildable(Repair({1}));
    EXPECT_EQ(count.rebuildable, 1);
    EXPECT_FALSE(count.otherVersion);
    RecoveryRepair renamed = Repair({1});
    renamed.name = "other.bin";
    EXPECT_EQ(CountRebuildable(renamed).rebuildable, 0);
}

// The par2 tool reads our sets, and we read its.
class Par2ToolTest : public RecoveryTest {
protected:
    void SetUp() override {
        if (std::system("par2 --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "the par2 tool is not installed";
        RecoveryTest::SetUp();
    }
    int Run(const std::string& command) {
        return std::system(("cd '" + dir_.string() + "' && " + command + " >/dev/null 2>&1").c_str());
    }
};

TEST_F(Par2ToolTest, VerifiesAndRepairsOurSet) {
    struct Case {
        std::vector<int64_t> sizes;
        int k;
        std::vector<int> lost;
    } const cases[] = {
        {{65536, 65536, 65536, 65536, 65536, 20000}, 1, {1}},
        {{65536, 65536, 65536, 65536, 65536, 20000}, 2, {1, 5}},
        {{3000, 3000, 3000, 3000, 3000, 3000, 3000, 1234}, 4, {0, 2, 3, 7}},  // slices of a third of a piece
    };
    for (const auto& c : cases) {
        MakeSet(c.sizes);
        ASSERT_TRUE(Create(c.k).ok);
        EXPECT_EQ(Run("par2 verify big.bin.par2"), 0) << "K=" << c.k;
        fs::remove(Path("big.bin"));
        for (const int p : c.lost) fs::remove(pieces_[std::size_t(p)]);
        EXPECT_EQ(Run("par2 repair big.bin.par2 big.bin.?"), 0) << "K=" << c.k;
        EXPECT_EQ(Read(Path("big.bin")), big_);
        for (const auto& entry : fs::directory_iterator(dir_)) fs::remove(entry.path());
    }
}

TEST_F(Par2ToolTest, OurRepairUsesItsFiles) {
    MakeSet({65536, 65536, 65536, 65536, 65536, 20000});
    ASSERT_EQ(Run("par2 create -q -s65536 -c2 big.bin.par2 big.bin"), 0);
    fs::remove(Path("big.bin"));
    const RecoveryRepair request = Repair({1, 5});
    const RecoveryResult result = RepairPieces(request);
    ASSERT_TRUE(result.ok) << result.failure.reason;
    EXPECT_EQ(Read(request.outputs[0]), Piece(1));
    EXPECT_EQ(Read(request.outputs[1]), Piece(5));
}

// A unit of work that throws, on whichever thread claims it, ends the round
// with that exception on the calling thread once every helper is back (not
// std::terminate), and the team serves the next round in full.
TEST(RecoveryTeam, AUnitThatThrowsFailsTheRoundOnTheCallersThread) {
    RecoveryDetail::Team team;
    struct Case {
        std::size_t units, throwing;
    } const cases[] = {{1, 0}, {64, 0}, {64, 37}, {64, 63}, {1000, 500}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.throwing) + " of " + std::to_string(c.units));
        std::vector<std::atomic<int>> runs(c.units);
        const auto unitOrThrow = [&](std::size_t unit) {
            if (unit == c.throwing) throw std::bad_alloc();
            std::this_thread::yield();  // slow enough that the helpers claim units meanwhile
            runs[unit]++;
        };
        EXPECT_THROW(team.Run(c.units, unitOrThrow), std::bad_alloc);
        for (const auto& r : runs) EXPECT_LE(r.load(), 1);
        std::vector<std::atomic<int>> again(c.units);
        team.Run(c.units, [&](std::size_t unit) { again[unit]++; });
        for (const auto& r : again) EXPECT_EQ(r.load(), 1);
    }
    // On a helper for certain: every unit a helper claims throws.
    if (team.Helpers() == 0) GTEST_SKIP() << "one core: no helpers";
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<bool> helperThrew{false};
    for (int round = 0; round < 50 && !helperThrew; ++round) {
        try {
            team.Run(256, [&](std::size_t) {
                if (std::this_thread::get_id() != caller) {
                    helperThrew = true;
                    throw std::runtime_error("from a helper");
                }
                std::this_thread::yield();
            });
        } catch (const std::runtime_error&) {
            EXPECT_TRUE(helperThrew.load());
        }
    }
    EXPECT_TRUE(helperThrew.load());
}

}  // namespace

