// Recovery files made by hand, packet by packet, for tests: every packet's
// MD5 is right, so whatever the packets claim reaches the code that reads them.
#pragma once

#include "recovery/Par2Packets.h"

#include <cstdint>
#include <string>

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
