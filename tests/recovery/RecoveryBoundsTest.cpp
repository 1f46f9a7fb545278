// Recovery files of anyone's making: what they claim is held to what the
// set, the memory and the packets present allow, and reading them ends.
#include "CraftedPar2.h"
#include "recovery/Gf16.h"
#include "recovery/Recovery.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <future>
#include <random>

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary | std::ios::trunc) << bytes;
}

int64_t PeakBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return int64_t(usage.ru_maxrss) * 1024;
}

// The set big.bin: three pieces of 1000 bytes, the second lost.
class RecoveryBoundsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("quorvel-bounds-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
        std::mt19937 random(7);
        big_.resize(3000);
        for (auto& c : big_) c = char(random());
        for (int p = 0; p < 3; ++p) Write(Piece(p), big_.substr(std::size_t(1000 * p), 1000));
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string Piece(int p) const { return Path("big.bin." + std::to_string(p + 1)); }

    // The genuine recovery files, made with the second piece still there.
    void Create(int lost = 1) {
        Write(Path("big.bin"), big_);
        RecoveryCreate request;
        request.bigFile = Path("big.bin");
        request.folder = dir_.string();
        request.pieceSizes = {1000, 1000, 1000};
        request.lostPieces = lost;
        ASSERT_TRUE(CreateRecoveryFiles(request).ok);
        fs::remove(Path("big.bin"));
        fs::remove(Piece(1));
    }

    RecoveryRepair Request(int64_t memory = 256 << 20) const {
        RecoveryRepair request;
        request.recoveryFiles = FindRecoveryFiles(dir_.string(), "big.bin");
        request.name = "big.bin";
        request.pieces = {Piece(0), Piece(1), Piece(2)};
        request.pieceSizes = {1000, 1000, 1000};
        request.lost = {1};
        request.outputs = {Piece(1) + ".rebuilt"};
        request.memoryLimit = memory;
        return request;
    }

    // What check counts and what repair does agree, and a repair that
    // cannot rebuild leaves nothing.
    void ExpectRebuilds(const RecoveryRepair& request, bool rebuilds) {
        const RecoveryResult counted = CountRebuildable(request);
        EXPECT_EQ(counted.rebuildable, rebuilds ? 1 : 0);
        const RecoveryResult repaired = RepairPieces(request);
        EXPECT_EQ(repaired.ok, rebuilds) << repaired.failure.reason;
        EXPECT_EQ(repaired.rebuildable, counted.rebuildable);
        if (rebuilds)
            EXPECT_TRUE(Read(request.outputs[0]) == big_.substr(1000, 1000));
        else
            EXPECT_FALSE(fs::exists(request.outputs[0]));
        fs::remove(request.outputs[0]);
    }

    fs::path dir_;
    std::string big_;
};

// What a crafted set claims is held to the big file, the memory and the
// slices present; check counts exactly what repair then rebuilds.
TEST_F(RecoveryBoundsTest, CraftedSetsCountOnlyWhatCanBeRebuiltWithinTheMemory) {
    fs::remove(Piece(1));
    // The true recovery slice of exponent e for 1000-byte slices.
    auto slice = [&](uint32_t e, std::size_t bytes) {
        std::string data(1000, '\0');
        for (uint32_t i = 0; i < 3; ++i)
            Gf16::MultiplyAddTables(big_.data() + 1000 * i, data.data(), Gf16::Power(Par2::InputConstant(i), e), 1000);
        data.resize(bytes, '\0');
        return data;
    };
    struct Case {
        const char* what;
        uint64_t sliceSize;
        uint32_t slices;     // of `bytes` each, exponents from 0
        std::size_t bytes;
        bool fullAfter;      // then one of 1000 bytes
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
        if (c.fullAfter) file += set.Slice(c.slices, slice(c.slices, 1000));
        Write(Path("big.bin.par2"), file);
        const RecoveryRepair request = Request(c.memory);
        const int64_t peak = PeakBytes();
        ExpectRebuilds(request, c.rebuilds);
        EXPECT_LT(PeakBytes() - peak, 64 << 20);
        EXPECT_EQ(CountRebuildable(request).passedOver.size(), c.passedOver ? 1u : 0u);
    }
}

// Junk before the genuine packets is read once on the way to them: magics
// over and over, tiny sound packets by the hundred thousand. A file whose
// headers each claim the rest of it is not hashed again and again: it is
// passed over, and the genuine files beside it rebuild.
TEST_F(RecoveryBoundsTest, JunkIsReadOnceOnTheWayToTheGenuinePackets) {
    Create();
    std::map<std::string, std::string> genuine;
    for (const auto& f : FindRecoveryFiles(dir_.string(), "big.bin")) genuine[f] = Read(f);
    const std::string magic("PAR2\0PKT", 8), tiny = CraftedPar2("other.bin", 3000, 1000).Packet(Par2::PacketType::Creator, "");
    for (const bool magics : {true, false}) {
        SCOPED_TRACE(magics ? "magics" : "tiny packets");
        for (const auto& [name, bytes] : genuine) {
            std::string junk;
            for (int i = 0; i < (magics ? (3 << 20) / 8 : 200000); ++i) junk += magics ? magic : tiny;
            Write(name, junk + bytes);
        }
        ExpectRebuilds(Request(), true);
    }
    const int claims = 100000;
    std::string planted;
    for (uint64_t at = 0, size = 64 * claims + 64; at < size; at += 64) {
        planted += magic;
        for (int i = 0; i < 8; ++i) planted += char(((size - at) >> (8 * i)) & 0xff);
        planted.append(48, '\x11');
    }
    Write(Path("big.bin.vol90+01.par2"), planted);
    const RecoveryRepair request = Request();
    const RecoveryResult result = RepairPieces(request);
    ASSERT_TRUE(result.ok) << result.failure.reason;
    EXPECT_EQ(result.passedOver, std::vector<std::string>{Path("big.bin.vol90+01.par2")});
}

// A FIFO named like a volume would hold an open for reading until someone
// writes to it; it is passed over.
TEST_F(RecoveryBoundsTest, AFifoNamedLikeAVolumeIsPassedOver) {
    Create();
    const std::string fifo = Path("big.bin.vol99+1.par2");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const RecoveryRepair request = Request();
    auto repaired = std::async(std::launch::async, [&] { return RepairPieces(request); });
    if (repaired.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        ADD_FAILURE() << "the repair waits in the FIFO";
        close(open(fifo.c_str(), O_RDWR));  // lets it go
    }
    const RecoveryResult result = repaired.get();
    ASSERT_TRUE(result.ok) << result.failure.reason;
    EXPECT_EQ(result.passedOver, std::vector<std::string>{fifo});
    EXPECT_TRUE(Read(request.outputs[0]) == big_.substr(1000, 1000));
}

// A stop is looked at while the files are scanned, while the matrix is
// inverted (reported as nothing read yet) and in every pass; it ends with
// `stopped` and no piece written.
TEST_F(RecoveryBoundsTest, AStopEndsTheScanTheInversionAndThePasses) {
    Create();
    std::atomic<bool> stop{false};
    RecoveryRepair request = Request(6000);  // a pass per rebuilt slice
    request.stop = &stop;
    for (const bool inverting : {true, false}) {
        SCOPED_TRACE(inverting ? "inverting" : "in a pass");
        stop = false;
        int64_t stoppedAt = -1;
        request.progress = [&](int64_t done, int64_t) {
            if (stoppedAt < 0 && (inverting || done > 0)) stop = true, stoppedAt = done;
        };
        const RecoveryResult result = RepairPieces(request);
        EXPECT_TRUE(result.stopped);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(stoppedAt == 0, inverting);
        EXPECT_FALSE(fs::exists(request.outputs[0]));
    }
    stop = true;
    const RecoveryResult counted = CountRebuildable(request);
    EXPECT_TRUE(counted.stopped);
    EXPECT_FALSE(counted.ok);
}

}  // namespace
