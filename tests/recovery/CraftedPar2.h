// Recovery files made by hand, packet by packet, for tests: every packet's
// MD5 is right, so whatever the packets claim reaches the code that reads them.
#pragma once

#include "recovery/Par2Packets.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

class CraftedPar2 {
public:
    // A set of one big file of `length` bytes named `name`, cut into slices
    // of `sliceSize` bytes (whatever that claims).
    CraftedPar2(const std::string& name, uint64_t length, uint64_t sliceSize) {
        Par2::FileEntry file;
        file.length = length;
        file.name = name;
        file.fileId = Par2::FileIdOf(file.md5First16k, length, name);
        const std::string main = Par2::MainBody(sliceSize, file.fileId);
        setId = Par2::SetIdOf(main);
        critical = Packet(Par2::PacketType::Main, main) + Packet(Par2::PacketType::FileDescription,
                                                                 Par2::FileDescriptionBody(file));
    }

    std::string Packet(Par2::PacketType type, const std::string& body) const {
        return Par2::Packet(setId, type, body);
    }

    // A recovery slice's packet: its exponent and `data`, however long.
    std::string Slice(uint32_t exponent, const std::string& data) const {
        std::string body;
        for (int i = 0; i < 4; ++i) body += char((exponent >> (8 * i)) & 0xff);
        return Packet(Par2::PacketType::RecoverySlice, body + data);
    }

    Par2::Id setId{};
    std::string critical;  // the main packet and the one naming the file
};

// A volume that carries the ID of the one set in `files` and a slice of
// `fill` bytes for each exponent they hold, every packet's MD5 valid.
inline std::string PlantedSlices(const std::vector<std::string>& files, char fill) {
    const Par2::ScanResult scan = Par2::ScanFiles(files);
    EXPECT_EQ(scan.sets.size(), 1u);
    const Par2::FoundSet& set = scan.sets.at(0);
    const std::string garbage(std::size_t(set.sliceSize), fill);
    std::string planted;
    for (const auto& slice : set.slices)
        planted += Par2::RecoverySliceHeader(set.setId, slice.exponent, garbage.data(), garbage.size()) + garbage;
    return planted;
}

// The packets of `bytes` without those of one type (the type's name in the
// header, e.g. "IFSC", as another tool may leave the slice checksums out).
inline std::string WithoutPackets(const std::string& bytes, const std::string& type) {
    std::string kept;
    for (std::size_t at = 0; at + Par2::kHeaderBytes <= bytes.size();) {
        uint64_t length = 0;
        for (int i = 7; i >= 0; --i) length = (length << 8) | uint8_t(bytes[at + 8 + std::size_t(i)]);
        if (bytes.compare(at + 56, type.size(), type) != 0) kept += bytes.substr(at, std::size_t(length));
        at += std::size_t(length);
    }
    return kept;
}
