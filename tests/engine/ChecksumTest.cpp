#include "engine/BackgroundHasher.h"
#include "engine/ChecksumFile.h"
#include "engine/PieceNaming.h"
#include "engine/SetFiles.h"
#include "engine/SetCheck.h"
#include "io/Sha256.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#endif

#ifndef O_BINARY
#define O_BINARY 0  // Windows reads text unless told otherwise
#endif

namespace {

// The finished set "S" of pieces with these contents.
ChecksumSet FinishedSet(const std::vector<std::string>& pieces) {
    ChecksumSet set;
    set.finished = true;
    set.count = static_cast<int32_t>(pieces.size());
    set.total = 0;
    set.bigFileName = "S";
    std::string whole;
    for (const auto& piece : pieces) {
        set.sizes.push_back(static_cast<int64_t>(piece.size()));
        set.digests.push_back(Sha256Hex(piece));
        set.total += static_cast<int64_t>(piece.size());
        whole += piece;
    }
    set.wholeDigest = Sha256Hex(whole);
    return set;
}

// text with the first `from` replaced by `to`.
std::string Edited(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(Sha256, KnownDigestsInOneGoAndInParts) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    Sha256 hash;
    const std::string a(1000000, 'a');
    for (std::size_t at = 0, step = 1; at < a.size(); at += step, step = step * 3 + 1) {
        hash.Update(a.data() + at, std::min(step, a.size() - at));
    }
    EXPECT_EQ(hash.Final(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(hash.Final(), Sha256Hex(""));  // Final starts over
}

TEST(Sha256, HashesRangesOfFilesWithoutMovingTheirPosition) {
    TempFolder dir;
    const std::string bytes = PatternBytes(3 * static_cast<int64_t>(kHashReadBytes) + 17);
    WriteFile(dir / "f", bytes);
    const int fd = open((dir / "f").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const auto size = static_cast<int64_t>(bytes.size());
    for (const auto& [offset, length] :
         std::vector<std::pair<int64_t, int64_t>>{{0, size}, {12345, size - 12345 - 77}, {100, 0}}) {
        Sha256 hash;
        int error = -1;
        EXPECT_TRUE(HashFileRange(fd, offset, length, hash, &error));
        EXPECT_EQ(hash.Final(), Sha256Hex(bytes.substr(offset, length))) << offset << " " << length;
        EXPECT_EQ(error, 0);
    }
    EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 0);
    Sha256 hash;
    int error = -1;
    EXPECT_FALSE(HashFileRange(fd, 10, size, hash, &error));  // ends early
    EXPECT_EQ(error, 0);
    close(fd);

    const FileDigest whole = HashFile(dir / "f");
    EXPECT_TRUE(whole.ok);
    EXPECT_EQ(whole.bytes, size);
    EXPECT_EQ(whole.hex, Sha256Hex(bytes));
    const FileDigest missing = HashFile(dir / "missing");
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, ENOENT);
}

// Three pieces of a big file, as a split of it would leave them.
struct ThreePieces {
    TempFolder dir;
    std::string big = dir / "big";
    std::string bytes = PatternBytes(700001, 3);
    std::vector<int64_t> sizes{300000, 0, 400001};  // an empty piece too
    ThreePieces() {
        WriteFile(big, bytes);
        int64_t at = 0;
        for (int n = 1; n <= 3; ++n) {
            WriteFile(PieceName(big, kMarker, n), bytes.substr(at, sizes[n - 1]));
            at += sizes[n - 1];
        }
    }
    std::string Digest(int n) const { return Sha256Hex(ReadFile(PieceName(big, kMarker, n))); }
};

TEST(BackgroundHasher, DigestsEveryPieceAndTheWholeFileAsACopyFeedsThem) {
    ThreePieces set;
    {
        // A split: the big file's blocks feed both hashes.
        BackgroundHasher hasher;
        ASSERT_TRUE(hasher.Ok());
        const int fd = open(set.big.c_str(), O_RDONLY);
        int64_t at = 0;
        for (const int64_t size : set.sizes) {
            for (int64_t done = 0; done < size; done += 4097) {
                hasher.Submit(fd, at + done, std::min<int64_t>(4097, size - done));
            }
            at += size;
            hasher.EndPiece();
        }
        close(fd);  // the hasher reads through its own descriptor
        EXPECT_EQ(hasher.Finish().hex, Sha256Hex(set.bytes));
        for (int n = 1; n <= 3; ++n) EXPECT_EQ(hasher.WaitPiece(n).hex, set.Digest(n)) << n;
    }
    {
        // A join: each piece's own file feeds its hash; the joined output
        // feeds the whole file's, but for piece 1, which feeds both block by
        // block as a buffered join does.
        BackgroundHasher hasher;
        const int out = open(set.big.c_str(), O_RDONLY);
        int64_t outAt = 0;
        for (int n = 1; n <= 3; ++n) {
            const std::string name = PieceName(set.big, kMarker, n);
            const int fd = open(name.c_str(), O_RDONLY);  // often the number the last piece had
            if (n == 1) {
                for (int64_t at = 0; at < set.sizes[0]; at += 1000) {
                    hasher.Submit(fd, at, std::min<int64_t>(1000, set.sizes[0] - at));
                }
            } else {
                hasher.Submit(fd, 0, set.sizes[n - 1], BackgroundHasher::Lane::Piece);
                hasher.Submit(out, outAt, set.sizes[n - 1], BackgroundHasher::Lane::Whole);
            }
            close(fd);
            outAt += set.sizes[n - 1];
            EXPECT_EQ(hasher.EndPiece(), n);
        }
        const BackgroundHasher::Digest third = hasher.WaitPiece(3);
        EXPECT_TRUE(third.ok);
        EXPECT_EQ(third.bytes, 400001);
        BackgroundHasher::Digest first;
        EXPECT_TRUE(hasher.PieceReady(1, &first));
        EXPECT_EQ(first.hex, set.Digest(1));
        EXPECT_EQ(hasher.Finish().hex, Sha256Hex(set.bytes));
        close(out);
    }
}

TEST(BackgroundHasher, LeavesTheCallersPositionAloneWhileTheCopyGoesOn) {
    TempFolder dir;
    const std::string bytes = PatternBytes(16 << 20, 9);
    WriteFile(dir / "f", bytes);
    const int fd = open((dir / "f").c_str(), O_RDONLY | O_BINARY);
    ASSERT_GE(fd, 0);
    BackgroundHasher hasher;
    std::string copied;
    std::vector<char> block(65536);
    for (int64_t at = 0; at < static_cast<int64_t>(bytes.size()); at += 65536) {
        const auto got = read(fd, block.data(), static_cast<unsigned>(block.size()));
        ASSERT_EQ(got, 65536) << at;
        copied.append(block.data(), block.size());
        hasher.Submit(fd, at, got);
    }
    hasher.EndPiece();
    close(fd);
    EXPECT_TRUE(copied == bytes);
    EXPECT_EQ(hasher.Finish().hex, Sha256Hex(bytes));
}

TEST(BackgroundHasher, ReportsWhatCannotBeReadAndStopsCleanly) {
    ThreePieces set;
    BackgroundHasher hasher;
    const int writeOnly = open(PieceName(set.big, kMarker, 1).c_str(), O_WRONLY);
    hasher.Submit(writeOnly, 0, 100, BackgroundHasher::Lane::Piece);
    close(writeOnly);
    hasher.EndPiece();
    const int fd = open(set.big.c_str(), O_RDONLY);
    hasher.Submit(fd, 0, 1000, BackgroundHasher::Lane::Piece);
    hasher.EndPiece();
    hasher.Submit(fd, 700000, 2, BackgroundHasher::Lane::Piece);  // one byte beyond the end
    hasher.EndPiece();
    close(fd);

    const BackgroundHasher::Digest unreadable = hasher.WaitPiece(1);
    EXPECT_FALSE(unreadable.ok);
    EXPECT_EQ(unreadable.error, EBADF);
    EXPECT_TRUE(unreadable.hex.empty());
    EXPECT_EQ(hasher.WaitPiece(2).hex, Sha256Hex(set.bytes.substr(0, 1000)));  // a failure ends with its piece
    EXPECT_FALSE(hasher.WaitPiece(3).ok);
    EXPECT_FALSE(hasher.WaitPiece(4).ok);  // never ended: an answer, not a wait

    // Work still queued when the hasher goes is dropped, not waited for.
    auto busy = std::make_unique<BackgroundHasher>();
    const int again = open(set.big.c_str(), O_RDONLY);
    for (int i = 0; i < 200; ++i) busy->Submit(again, 0, 700001);
    busy->EndPiece();
    busy.reset();
    close(again);
}

#ifndef _WIN32
// Runs a shell command; its exit status.
int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

TEST(ChecksumFile, Sha256sumAcceptsWhatIsWritten) {
#ifdef _WIN32
    GTEST_SKIP() << "Linux only: sha256sum and a shell";
#else
    for (const std::string name : {"Setup.exe", "odd\\name\nwith\rbreaks"}) {
        SCOPED_TRACE(name);
        TempFolder dir;
        const std::string big = dir / name;
        WriteFile(big, PatternBytes(250000));
        EngineUnderTest t;
        t.engine.SetBigFilePath(big);
        t.engine.SetPiecePrefix(big);
        t.Plan({100000, 100000, 50000});
        ASSERT_EQ(t.engine.Split(100000, kMarker, PauseMode::Never, false), What::Done);
        const std::string sums = WriteChecksumsFor(big, kMarker);
        EXPECT_EQ(FileNamePart(sums), name + kMarker + "sha256");

        const std::string check =
            "cd '" + dir.Path() + "' && sha256sum -c --ignore-missing --strict --quiet '" + FileNamePart(sums) + "'";
        EXPECT_EQ(Shell(check), 0);
        std::remove(big.c_str());  // pieces only: the whole file's line is skipped
        EXPECT_EQ(Shell(check), 0);
        std::string piece = ReadFile(PieceName(big, kMarker, 3));
        piece[49999] ^= 1;
        WriteFile(PieceName(big, kMarker, 3), piece);
        EXPECT_NE(Shell(check + " 2>/dev/null"), 0);
    }
#endif
}

TEST(ChecksumFile, BegunUnfinishedCompletedAtTheEnd) {
    TempFolder dir;
    const std::string path = ChecksumFileName(dir / "S", kMarker);
    ChecksumWriter writer;
    writer.interval = std::chrono::hours(1);
    ASSERT_TRUE(writer.Begin(path, "S", kMarker, 35, {10, 20, 5}, true));
    ChecksumRead read = ReadChecksumFile(path, kMarker);
    EXPECT_EQ(read.status, ChecksumRead::Status::Unfinished) << read.reason;
    EXPECT_EQ(read.set.count, 3);
    EXPECT_EQ(read.set.total, 35);
    EXPECT_EQ(read.set.sizes, (std::vector<int64_t>{10, 20, 5}));

    const std::string d1 = Sha256Hex("1"), d2 = Sha256Hex("2"), whole = Sha256Hex("12");
    EXPECT_TRUE(writer.RecordPiece(1, 10, d1));
    EXPECT_TRUE(writer.RecordPiece(2, 20, d2));  // written after the interval...
    EXPECT_TRUE(ReadChecksumFile(path, kMarker).set.digests.empty());
    EXPECT_TRUE(writer.Flush());  // ...or by a flush
    EXPECT_EQ(ReadChecksumFile(path, kMarker).set.digests, (std::vector<std::string>{d1, d2}));
    EXPECT_FALSE(writer.RecordPiece(4, 5, d1));  // out of turn

    // The split ended after two pieces: the count and total are what was written.
    ASSERT_TRUE(writer.Finish(whole));
    read = ReadChecksumFile(path, kMarker);
    ASSERT_EQ(read.status, ChecksumRead::Status::Ok) << read.reason;
    EXPECT_EQ(read.set.count, 2);
    EXPECT_EQ(read.set.total, 30);
    EXPECT_EQ(read.set.bigFileName, "S");
    EXPECT_EQ(read.set.wholeDigest, whole);
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"S.Quorved_sha256"});  // no temporary file left

    // A free-space split knows its count only at the end; a sized split whose
    // pieces came out short has more pieces than planned.
    ASSERT_TRUE(writer.Begin(path, "S", kMarker, 35, {}, false));
    read = ReadChecksumFile(path, kMarker);
    EXPECT_EQ(read.status, ChecksumRead::Status::Unfinished) << read.reason;
    EXPECT_EQ(read.set.count, -1);
    EXPECT_EQ(read.set.total, 35);
    ASSERT_TRUE(writer.Begin(path, "S", kMarker, 35, {30, 5}, true));
    for (int n = 1; n <= 3; ++n) EXPECT_TRUE(writer.RecordPiece(n, n == 3 ? 5 : 15, d1));
    EXPECT_TRUE(writer.Flush());
    read = ReadChecksumFile(path, kMarker);
    EXPECT_EQ(read.status, ChecksumRead::Status::Unfinished) << read.reason;
    EXPECT_EQ(read.set.sizes, (std::vector<int64_t>{15, 15, 5}));
    writer.Remove();
    EXPECT_TRUE(FolderEntries(dir.Path()).empty());
}

TEST(ChecksumFile, ListsRecoveryFilesAfterTheWholeFile) {
    ChecksumSet set = FinishedSet({"abc"});
    set.recoveryNames = {"S.par2", "S.vol0+1.par2"};
    set.recoveryDigests = {Sha256Hex("i"), Sha256Hex("v")};
    const std::string good = FormatChecksumFile(set, kMarker);
    const ChecksumRead read = ParseChecksumFile(good, kMarker);
    ASSERT_EQ(read.status, ChecksumRead::Status::Ok) << read.reason;
    EXPECT_EQ(read.set.recoveryNames, set.recoveryNames);
    EXPECT_EQ(read.set.recoveryDigests, set.recoveryDigests);
    EXPECT_EQ(read.set.wholeDigest, set.wholeDigest);
    for (const std::string& bad : {Edited(good, "# recovery 2", "# recovery 3"), Edited(good, "# recovery 2\n", ""),
                                   Edited(good, "  S.par2", "  T.par2"), Edited(good, "  S.par2", "  S.txt"),
                                   Edited(good, "finished", "unfinished")}) {
        EXPECT_EQ(ParseChecksumFile(bad, kMarker).status, ChecksumRead::Status::Malformed) << bad;
    }
}

TEST(ChecksumFile, RefusesAnythingMalformedWithAReason) {
    const ChecksumSet set = FinishedSet({"aaaa", "bbb"});
    const std::string good = FormatChecksumFile(set, kMarker);
    ASSERT_EQ(ParseChecksumFile(good, kMarker).status, ChecksumRead::Status::Ok);
    // Notes, upper-case digits, binary-mode names and Windows line ends are fine.
    std::string tolerated = good;
    tolerated.replace(tolerated.find("  S\n"), 4, " *S\r\n");
    tolerated.insert(tolerated.find('\n') + 1, "# made on a rainy day\n");
    for (std::size_t i = tolerated.rfind('\n', tolerated.size() - 3) + 1, end = i + 64; i < end; ++i) {
        tolerated[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(tolerated[i])));
    }
    const ChecksumRead read = ParseChecksumFile(tolerated, kMarker);
    EXPECT_EQ(read.status, ChecksumRead::Status::Ok) << read.reason;
    EXPECT_EQ(read.set.wholeDigest, set.wholeDigest);

    auto edited = [&](const std::string& from, const std::string& to) { return Edited(good, from, to); };
    const std::vector<std::string> bad{
        "",
        good.substr(0, good.size() - 1),       // cut off
        edited("checksums 1", "checksums 2"),  // a later format
        edited("# quorvel checksums 1\n", ""),
        edited("# state finished\n", ""),
        edited("finished", "done"),
        edited("# pieces 2", "# pieces 3"),
        edited("# pieces 2", "# pieces -2"),
        edited("# total 7", "# total 8"),
        edited("# total 7", "# total 99999999999999999999"),
        edited("# size 1 4\n", ""),
        edited("# size 1 4\n# size 2 3", "# size 2 3\n# size 1 4"),
        edited("# size 2 3", "# size 2 3\n# size 2 3"),
        edited("# size 2 3", "# size 2"),
        edited("# state finished", "# state finished\n# state finished"),
        edited("S.Quorved_1", "S.Quorved_2"),  // out of order
        edited("S.Quorved_1", "T.Quorved_1"),  // not the whole file's piece
        edited("  S\n", "  ../S\n"),           // a path, not a name
        edited("  S\n", "  \n"),
        edited("  S.Quorved_2", " S.Quorved_2"),
        edited("  S.Quorved_2", "  S.Quorved_2\n\n"),
        edited(Sha256Hex("bbb"), "z" + Sha256Hex("bbb").substr(1)),
        edited("  S\n", "  S\n# total 7\n"),                                     // a count after the checksums
        edited(set.wholeDigest + "  S\n", "\\" + set.wholeDigest + "  S\\q\n"),  // an unknown escape
        good + good.substr(good.find("\n", good.find("Quorved_2")) + 1),         // the whole file twice
        "# quorvel checksums 1\n# state finished\n# pieces 0\n# total 0\n" + Sha256Hex("") + "  S\n",  // no piece
        "# quorvel checksums 1\n# state unfinished\n# pieces 2\n# total 9\n# size 1 4\n# size 2 3\n",  // 4 + 3 of 9
    };
    for (std::size_t i = 0; i < bad.size(); ++i) {
        const ChecksumRead r = ParseChecksumFile(bad[i], kMarker);
        EXPECT_EQ(r.status, ChecksumRead::Status::Malformed) << "case " << i << ":\n" << bad[i];
        EXPECT_FALSE(r.reason.empty()) << i;
    }
    EXPECT_EQ(ParseChecksumFile(good, "").status, ChecksumRead::Status::Malformed);

    // Damage anywhere never crashes the reader, and what it accepts is whole.
    uint32_t state = 7;
    auto next = [&] { return state = state * 1103515245u + 12345u, state >> 8; };
    for (int round = 0; round < 3000; ++round) {
        std::string text = good;
        for (int k = 0, edits = 1 + next() % 3; k < edits; ++k) {
            const std::size_t at = next() % text.size();
            switch (next() % 3) {
            case 0: text[at] = static_cast<char>(next()); break;
            case 1: text.erase(at, 1 + next() % 70); break;
            default: text.insert(at, 1, "\n# \\*0a"[next() % 7]);
            }
            if (text.empty()) text = "#";
        }
        const ChecksumRead r = ParseChecksumFile(text, kMarker);
        if (r.status == ChecksumRead::Status::Ok) {
            EXPECT_EQ(r.set.digests.size(), static_cast<std::size_t>(r.set.count));
            EXPECT_EQ(r.set.sizes.size(), static_cast<std::size_t>(r.set.count));
        }
    }
}

TEST(ChecksumFile, FoundBesideThePiecesThenBesideTheTarget) {
    TempFolder pieces, target;
    const std::string prefix = pieces / "S";
    EXPECT_EQ(FindChecksumFile(prefix, kMarker, target / "S"), "");
    WriteFile(ChecksumFileIn(target.Path(), prefix, kMarker), "x");
    EXPECT_EQ(FindChecksumFile(prefix, kMarker, target / "Other"), target / "S.Quorved_sha256");
    EXPECT_EQ(FindChecksumFile(prefix, kMarker), "");
    WriteFile(ChecksumFileName(prefix, kMarker), "x");
    EXPECT_EQ(FindChecksumFile(prefix, kMarker, target / "S"), pieces / "S.Quorved_sha256");
    EXPECT_EQ(FindChecksumFile("", kMarker, target / "S"), "");
}

#ifndef _WIN32
// The checksum file's temporary is created exclusively: a link planted under
// the old fixed name is not written through, and a name of 247 bytes fits.
TEST(ChecksumFile, WrittenOnlyIntoFilesOfItsOwn) {
    TempFolder dir, elsewhere;
    WriteFile(elsewhere / "precious", "keep");
    for (const std::size_t length : {std::size_t(1), std::size_t(232)}) {
        const std::string big = dir / std::string(length, 'b'), sums = ChecksumFileName(big, kMarker);
        symlink((elsewhere / "precious").c_str(), (sums + ".~quorvel").c_str());  // too long for the long name
        ChecksumWriter writer;
        EXPECT_TRUE(writer.Begin(sums, FileNamePart(big), kMarker, 4, {4}, true)) << strerror(writer.LastError());
        EXPECT_TRUE(writer.RecordPiece(1, 4, Sha256Hex("abcd")) && writer.Finish(Sha256Hex("abcd")));
        EXPECT_EQ(ReadChecksumFile(sums, kMarker).status, ChecksumRead::Status::Ok) << length;
    }
    EXPECT_EQ(ReadFile(elsewhere / "precious"), "keep");
}
#endif

TEST(ChecksumFile, NeverTakenForAPiece) {
    ThreePieces set;
    const std::string sums = WriteChecksumsFor(set.big, kMarker);
    WriteFile(sums + ".~quorvel", "left by a killed split");
    const DiscoveredPieces found = DiscoverPieces(set.big, kMarker);
    EXPECT_EQ(found.count, 3);
    EXPECT_EQ(found.total, 700001);
    // Chosen in place of a piece, it names its set.
    EXPECT_EQ(PrefixFromPieceName(sums, kMarker), set.big);
    // Without piece 1 there is no set, whatever else is there.
    std::remove(PieceName(set.big, kMarker, 1).c_str());
    EXPECT_TRUE(DiscoverPieces(set.big, kMarker).firstMissing);
}

TEST(CheckSet, NamesTheFirstBadOrMissingPiece) {
    ThreePieces set;
    const ChecksumRead read = ReadChecksumFile(WriteChecksumsFor(set.big, kMarker), kMarker);
    ASSERT_EQ(read.status, ChecksumRead::Status::Ok) << read.reason;
    const std::string prefix = set.big;
    SetCheck check = CheckSet(read.set, kMarker, prefix);
    EXPECT_TRUE(check.Ok());
    EXPECT_TRUE(check.wholeChecked);

    auto flip = [](const std::string& name, std::size_t at) {
        std::string bytes = ReadFile(name);
        bytes[at] ^= 0x20;
        WriteFile(name, bytes);
    };
    flip(set.big, 699999);
    check = CheckSet(read.set, kMarker, prefix);
    EXPECT_EQ(check.problem, SetCheck::Problem::Damaged);
    EXPECT_EQ(check.piece, 0);
    EXPECT_EQ(check.file, set.big);
    std::remove(set.big.c_str());
    check = CheckSet(read.set, kMarker, prefix);
    EXPECT_TRUE(check.Ok());
    EXPECT_FALSE(check.wholeChecked);

    const std::string third = PieceName(set.big, kMarker, 3);
    flip(third, 400000);
    check = CheckSet(read.set, kMarker, prefix);
    EXPECT_EQ(check.problem, SetCheck::Problem::Damaged);
    EXPECT_EQ(check.piece, 3);
    EXPECT_EQ(check.file, third);

    WriteFile(PieceName(set.big, kMarker, 1), set.bytes.substr(0, 299999));
    check = CheckSet(read.set, kMarker, prefix);
    EXPECT_EQ(check.problem, SetCheck::Problem::WrongSize);
    EXPECT_EQ(check.piece, 1);
    EXPECT_EQ(check.actualSize, 299999);
    EXPECT_EQ(check.expectedSize, 300000);

    // A damaged piece after a missing one: the lower number is reported.
    std::remove(PieceName(set.big, kMarker, 1).c_str());
    check = CheckSet(read.set, kMarker, prefix);
    EXPECT_EQ(check.problem, SetCheck::Problem::Missing);
    EXPECT_EQ(check.piece, 1);

    ChecksumSet unfinished = read.set;
    unfinished.finished = false;
    unfinished.digests.resize(0);
    check = CheckSet(unfinished, kMarker, prefix);
    EXPECT_EQ(check.problem, SetCheck::Problem::Missing);
    EXPECT_EQ(check.piece, 1);
}

#ifndef _WIN32
// A join hands the hasher its piece and the joined file in turn, block by
// block, faster than they are hashed: the hasher must not open a descriptor
// per block, or a long set runs out of them and good pieces fail.
TEST(BackgroundHasherLimits, FilesInTurnNeverRunOutOfDescriptors) {
    TempFolder dir;
    const std::string bytes = PatternBytes(65536, 3);
    WriteFile(dir / "a", bytes);
    WriteFile(dir / "b", bytes);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
    rlimit low = old;
    low.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    const int a = open((dir / "a").c_str(), O_RDONLY), b = open((dir / "b").c_str(), O_RDONLY);
    BackgroundHasher::Digest piece, whole;
    {
        BackgroundHasher hasher;
        for (int i = 0; i < 2000; ++i) {
            hasher.Submit(a, 0, 65536, BackgroundHasher::Lane::Piece);
            hasher.Submit(b, 0, 65536, BackgroundHasher::Lane::Whole);
        }
        hasher.EndPiece();
        whole = hasher.Finish();
        piece = hasher.WaitPiece(1);
    }
    close(a);
    close(b);
    setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_TRUE(piece.ok) << piece.error;
    EXPECT_TRUE(whole.ok) << whole.error;
    EXPECT_EQ(piece.hex, whole.hex);
}

// No call waits for long: not when the threads cannot start (another user
// allowed no more processes than it has; past the queue's limit too), nor
// after a stop, which is seen within one job of a 16 GiB range of holes.
TEST(BackgroundHasherLimits, NoCallWaitsForThreadsThatCannotStartOrAreStopped) {
    TempFolder dir;
    const std::string name = dir / "holes";
    WriteFile(name, "");
    ASSERT_EQ(truncate(name.c_str(), int64_t(16) << 30), 0);
    const int fd = open(name.c_str(), O_RDONLY);
    const pid_t child = fork();
    if (child == 0) {
        const rlimit none{0, 0};
        if (setgid(65534) != 0 || setuid(65534) != 0 || setrlimit(RLIMIT_NPROC, &none) != 0) _exit(3);
        alarm(20);
        BackgroundHasher hasher;
        for (int j = 0; j < 100; ++j) hasher.Submit(fd, j, 1), hasher.EndPiece();
        _exit(hasher.Ok() || hasher.WaitPiece(100).ok || hasher.Finish().error != EAGAIN ? 4 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    std::atomic<bool> stop{false};
    const auto start = std::chrono::steady_clock::now();
    std::thread stopper([&] { std::this_thread::sleep_for(std::chrono::milliseconds(100)), stop = true; });
    BackgroundHasher hasher;
    hasher.SetStopFlag(&stop);
    hasher.Submit(fd, 0, int64_t(16) << 30);  // waits for room in the queue until the stop
    hasher.EndPiece();
    EXPECT_EQ(hasher.WaitPiece(1).error, EINTR);
    EXPECT_EQ(hasher.Finish().error, EINTR);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    stopper.join();
    close(fd);
}
#endif

}  // namespace
