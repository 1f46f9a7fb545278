#include "tests/engine/EngineTestSupport.h"

#include "engine/ChecksumFile.h"
#include "engine/PieceNaming.h"
#include "engine/SetFiles.h"
#include "io/Sha256.h"

#include "io/FileAccess.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#ifdef __linux__
#include <sys/mount.h>
#endif

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    const fs::path base = fs::temp_directory_path();
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const fs::path folder = base / ("quorvel-engine-" + std::to_string(random()));
        std::error_code ec;
        if (fs::create_directory(folder, ec)) path_ = folder.u8string();
    }
    if (path_.empty()) throw std::runtime_error("no temporary folder");
}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(Paths::Native(path_), ec);
}

SmallDisk::SmallDisk(const std::string& at, const std::string& size) : at_(at) {
#ifdef __linux__
    std::error_code ec;
    fs::create_directory(at, ec);
    mounted_ = mount("tmpfs", at.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
#else
    (void)size;
#endif
}

SmallDisk::~SmallDisk() {
#ifdef __linux__
    if (mounted_) umount2(at_.c_str(), MNT_DETACH);
#endif
}

ReadOnlyView::ReadOnlyView(const std::string& folder, const std::string& at) : at_(at) {
#ifdef __linux__
    std::error_code ec;
    fs::create_directory(at, ec);
    if (mount(folder.c_str(), at.c_str(), nullptr, MS_BIND, nullptr) != 0) return;
    mounted_ = true;
    if (mount(nullptr, at.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        umount2(at_.c_str(), MNT_DETACH);
        mounted_ = false;
    }
#else
    (void)folder;
#endif
}

ReadOnlyView::~ReadOnlyView() {
#ifdef __linux__
    if (mounted_) umount2(at_.c_str(), MNT_DETACH);
#endif
}

std::string PatternBytes(int64_t count, unsigned seed) {
    std::string bytes(static_cast<std::size_t>(count), '\0');
    uint32_t state = seed * 2654435761u + 12345u;
    for (auto& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream out(Paths::Native(name), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + name);
}

std::string ReadFile(const std::string& name) {
    std::ifstream in(Paths::Native(name), std::ios::binary);
    if (!in) return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& name) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(Paths::Native(name), ec));
}

::testing::AssertionResult FileHolds(const std::string& name, const std::string& expected) {
    const std::string actual = ReadFile(name);
    if (actual == expected) return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    return ::testing::AssertionFailure() << name << " holds " << actual.size() << " bytes, expected " << expected.size()
                                         << "; first difference at offset " << at;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Paths::Native(folder)))
        names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string WriteChecksumsFor(const std::string& prefix, const std::string& marker) {
    const DiscoveredPieces found = DiscoverPieces(prefix, marker);
    ChecksumWriter writer;
    const std::string name = ChecksumFileName(prefix, marker);
    if (!writer.Begin(name, FileNamePart(prefix), marker, found.total, {found.sizes.begin() + 1, found.sizes.end()},
                      true)) {
        throw std::runtime_error("cannot write " + name);
    }
    std::string whole;
    for (int32_t n = 1; n <= found.count; ++n) {
        const std::string bytes = ReadFile(PieceName(prefix, marker, n));
        whole += bytes;
        writer.RecordPiece(n, found.sizes[n], Sha256Hex(bytes));
    }
    if (!writer.Finish(Sha256Hex(whole))) throw std::runtime_error("cannot finish " + name);
    return name;
}

std::string EnglishText(int entry) {
    switch (entry) {
    case EngineEntry::ReadyForDiskNumber: return "Ready for diskette/file number ";
    case EngineEntry::ChangeDisk: return "Change diskette";
    case EngineEntry::NoRoomOnDisk: return "No available space on this diskette! ";
    case EngineEntry::RecoveryFileInDrive: return "A recovery file goes in this drive.";
    default: return "<" + std::to_string(entry) + ">";
    }
}

bool RecordingView::AskYesNo(const std::string& text, const std::string& caption, Icon icon) {
    calls.push_back("Ask " + text);
    questions.push_back({text, caption, icon});
    if (onQuestion) onQuestion();
    if (answers.empty()) return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

void EngineTest::MakeBigFile(const std::string& name, int64_t size) {
    big = dir / name;
    bytes = PatternBytes(size);
    WriteFile(big, bytes);
    t.engine.SetBigFilePath(big);
    t.engine.SetPiecePrefix(big);
}

std::string EngineTest::Piece(int n) const { return PieceName(t.engine.PiecePrefix(), kMarker, n); }

void EngineTest::JoinInto(const std::string& target) {
    const DiscoveredPieces found = DiscoverPieces(t.engine.PiecePrefix(), kMarker);
    t.engine.SetPieces(found.count, found.sizes);
    t.engine.SetBigFilePath(target);
}

void PrintTo(What what, std::ostream* out) { *out << "What(" << static_cast<int>(what) << ")"; }

void PrintTo(const TransferOutcome& outcome, std::ostream* out) {
    PrintTo(outcome.what, out);
    *out << " piece " << outcome.piece << " error " << outcome.error << " file \"" << outcome.file << "\"";
}
