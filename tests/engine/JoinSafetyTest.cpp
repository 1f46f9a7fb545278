#include "engine/ChecksumFile.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>
#ifdef __linux__
#include <pwd.h>
#endif

namespace fs = std::filesystem;
namespace {

// A checksummed set of three pieces, the big file gone.
class JoinSafety : public EngineTest {
protected:
    void SetUp() override {
        MakeBigFile("big.bin", 250001);
        t.engine.SetUseChecksums(true);
        ASSERT_EQ(SplitPlan({100000, 100000, 50001}), What::Done);
        sums = ReadFile(ChecksumFileName(big, kMarker));
        std::remove(big.c_str());
    }
    TransferOutcome JoinAt(const std::string& target, int32_t maxRam = 100000) {
        JoinInto(target);
        return t.engine.Join(maxRam, kMarker, PauseMode::Never);
    }
    std::string sums;
};

TEST_F(JoinSafety, NeverWritesOverTheSetsOwnFilesAndIgnoresAStrayOneAfterIt) {
    WriteFile(big + ".par2", "recovery");
    WriteFile(big + ".vol0+1.par2", "recovery");
    fs::create_hard_link(Piece(2), dir / "alias");
    fs::create_symlink(ChecksumFileName(big, kMarker), dir / "link");
    for (const std::string& target : {ChecksumFileName(big, kMarker), Piece(3), Piece(7), big + ".par2",
                                      big + ".vol0+1.par2", dir / "alias", dir / "link"}) {
        EXPECT_EQ(JoinAt(target), What::TargetInSet) << target;
        EXPECT_EQ(ReadFile(ChecksumFileName(big, kMarker)), sums);
        EXPECT_TRUE(FileHolds(Piece(3), bytes.substr(200000)));
        EXPECT_EQ(ReadFile(big + ".vol0+1.par2"), "recovery");
    }
    // The checksum file ends the set at piece 3; a counting join stops at the link.
    fs::create_symlink(dir / "nowhere", Piece(4));
    EXPECT_EQ(JoinAt(dir / "joined"), What::Done);
    EXPECT_TRUE(FileHolds(dir / "joined", bytes));
    std::remove(ChecksumFileName(big, kMarker).c_str());
    EXPECT_EQ(DiscoverPieces(big, kMarker).end, DiscoveredPieces::End::NextUnreadable);
}

TEST_F(JoinSafety, WritesThroughOnlyLinksOfItsUserOrOfTheirFoldersOwner) {
#ifdef __linux__
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() != 0 || nobody == nullptr) GTEST_SKIP() << "links of user nobody need root and that user";
    fs::create_directory(dir / "shared");  // world-writable and sticky, as /tmp
    chmod((dir / "shared").c_str(), 01777);
    fs::create_directory(dir / "nobodys");
    ASSERT_EQ(chown((dir / "nobodys").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    const std::string victim = dir / "victim";
    // As if user nobody had made it: the kernel sees no difference.
    const auto plant = [&](const std::string& to, const std::string& link, bool byNobody) {
        fs::create_symlink(to, dir / link);
        ASSERT_EQ(byNobody ? lchown((dir / link).c_str(), nobody->pw_uid, nobody->pw_gid) : 0, 0);
    };
    plant(victim, "shared/planted", true);
    plant(dir / "shared/planted", "shared/chain", false);
    plant(victim, "shared/roots", false);
    plant(victim, "nobodys/own", true);
    for (const auto& [link, followed] : std::vector<std::pair<std::string, bool>>{
             {"shared/planted", false}, {"shared/chain", false}, {"shared/roots", true}, {"nobodys/own", true}}) {
        WriteFile(victim, "keep me");
        const TransferOutcome outcome = JoinAt(dir / link);
        EXPECT_EQ(outcome, followed ? What::Done : What::LinkNotTrusted) << link;
        EXPECT_EQ(outcome.file, followed ? "" : dir / "shared/planted");
        EXPECT_TRUE(FileHolds(victim, followed ? bytes : "keep me")) << link;
        EXPECT_TRUE(fs::is_symlink(dir / link));
    }
#else
    GTEST_SKIP() << "links of another user: Linux only";
#endif
}

// A join that skipped the whole file's comparison, or called a piece it
// cannot read damaged, fails here, whatever the copy's block size.
TEST_F(JoinSafety, TellsABadWholeFileAndAnUnreadablePieceFromADamagedOne) {
    const std::string piece2 = ReadFile(Piece(2));
    std::string badWhole = sums, badPiece = piece2;
    char& whole = badWhole[badWhole.rfind('\n', badWhole.size() - 2) + 1];  // the whole file's digest
    whole = whole == '0' ? '1' : '0';
    badPiece[777] ^= 1;
    for (const int32_t maxRam : {0, 100000, 1048576}) {
        for (const auto& [sumsText, piece, expected] : std::vector<std::tuple<std::string, std::string, PieceOutcome>>{
                 {sums, piece2, {What::Done, 0}},
                 {badWhole, piece2, {What::JoinedFileDamaged, 0}},
                 {sums, badPiece, {What::PieceDamaged, 2}},
                 {sums, "", {What::CannotReadPiece, 2}}}) {  // a folder of piece 2's name
            WriteFile(ChecksumFileName(big, kMarker), sumsText);
            fs::remove_all(Piece(2));
            piece.empty() ? (void)fs::create_directory(Piece(2)) : WriteFile(Piece(2), piece);
            t.engine.SetPieces(3, {0, 100000, 100000, 50001});
            t.engine.SetBigFilePath(dir / "joined");
            const TransferOutcome outcome = t.engine.Join(maxRam, kMarker, PauseMode::Never);
            EXPECT_EQ(outcome, expected) << maxRam << " " << static_cast<int>(expected.what);
            EXPECT_EQ(Exists(dir / "joined"), expected.what == What::Done);
            EXPECT_TRUE(!outcome.Ok() || (outcome.checked && FileHolds(dir / "joined", bytes)));
            std::remove((dir / "joined").c_str());
        }
    }
}

}  // namespace
