// Packets of the PAR 2.0 format: building them for the files we write, and
// finding the sound ones in files we read. Every packet carries the MD5 of
// its contents and the ID of its recovery set; a packet whose MD5 fails is
// never used.
#pragma once

#include "io/Digests.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace Par2 {

using Id = Md5Digest;

inline constexpr std::size_t kHeaderBytes = 64;
// A recovery slice's packet around its data: header and exponent.
inline constexpr std::size_t kSliceOverhead = kHeaderBytes + 4;
// Input slices one set can have: the code's constants run out beyond.
inline constexpr uint32_t kMaxInputSlices = 32768;
inline constexpr uint32_t kMaxRecoverySlices = 65535;

enum class PacketType { Main, FileDescription, SliceChecksums, RecoverySlice, Creator, Other };

struct FileEntry {
    Id fileId{};
    Md5Digest md5{}, md5First16k{};
    uint64_t length = 0;
    std::string name;
};

struct SliceChecksum {
    Md5Digest md5{};
    uint32_t crc = 0;
};

// A whole packet around body (padded with zeros to a multiple of 4).
std::string Packet(const Id& setId, PacketType type, std::string body);
// The 68 bytes that precede a recovery slice's data; the packet's MD5 covers
// the data too.
std::string RecoverySliceHeader(const Id& setId, uint32_t exponent, const void* data, std::size_t size);

std::string MainBody(uint64_t sliceSize, const Id& fileId);
std::string FileDescriptionBody(const FileEntry& file);
std::string SliceChecksumsBody(const Id& fileId, const std::vector<SliceChecksum>& slices);
std::string CreatorBody();
Id FileIdOf(const Md5Digest& md5First16k, uint64_t length, const std::string& name);
// The set's ID: the MD5 of the main packet's body.
Id SetIdOf(const std::string& mainBody);

// The constant input slice `index` is multiplied with: 2 to the power of the
// index-th exponent that shares no factor with the group's order.
uint16_t InputConstant(uint32_t index);

// A recovery slice found in a file: where its data lies.
struct FoundSlice {
    uint32_t exponent = 0;
    std::size_t file = 0;  // index into the names scanned
    int64_t offset = 0;
    uint64_t bytes = 0;  // its data as the packet holds it: a slice counts only at the set's slice size
};

// What the sound packets of one recovery set say.
struct FoundSet {
    Id setId{};
    bool haveMain = false;
    uint64_t sliceSize = 0;
    std::vector<Id> fileIds;  // of the files the set can rebuild
    std::vector<FileEntry> files;
    // Every slice found, in the order of the files scanned (one per
    // exponent and file): a file planted beside the others may carry
    // another slice for an exponent, so none is taken for the only one.
    std::vector<FoundSlice> slices;
    std::vector<std::size_t> sources;  // the files that held packets of this set
    // The input slices' checksums of the first sound index packet found
    // (the file it is for: checksumsFileId); empty when there was none.
    Id checksumsFileId{};
    std::vector<SliceChecksum> sliceChecksums;
};

struct ScanResult {
    std::vector<FoundSet> sets;
    // Files (index into the names) with a packet that failed its MD5 or that
    // hold no sound packet at all.
    std::vector<std::size_t> damaged;
    bool stopped = false;  // the scan ended early on a stop: what it found is not all there is
};

// The window a scan reads files through: packets larger are hashed through
// it a part at a time.
inline constexpr std::size_t kScanWindow = 1 << 20;

ScanResult ScanFiles(const std::vector<std::string>& names, const std::atomic<bool>* stop = nullptr);

}  // namespace Par2
