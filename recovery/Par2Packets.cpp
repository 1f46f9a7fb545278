#include "recovery/Par2Packets.h"

#include "io/PositionedReader.h"
#include "recovery/Gf16.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <set>

namespace Par2 {
namespace {

const char kMagic[8] = {'P', 'A', 'R', '2', '\0', 'P', 'K', 'T'};

struct TypeName {
    PacketType type;
    char name[16];
};
const TypeName kTypes[] = {
    {PacketType::Main, {'P', 'A', 'R', ' ', '2', '.', '0', '\0', 'M', 'a', 'i', 'n', '\0', '\0', '\0', '\0'}},
    {PacketType::FileDescription, {'P', 'A', 'R', ' ', '2', '.', '0', '\0', 'F', 'i', 'l', 'e', 'D', 'e', 's', 'c'}},
    {PacketType::SliceChecksums, {'P', 'A', 'R', ' ', '2', '.', '0', '\0', 'I', 'F', 'S', 'C', '\0', '\0', '\0', '\0'}},
    {PacketType::RecoverySlice, {'P', 'A', 'R', ' ', '2', '.', '0', '\0', 'R', 'e', 'c', 'v', 'S', 'l', 'i', 'c'}},
    {PacketType::Creator, {'P', 'A', 'R', ' ', '2', '.', '0', '\0', 'C', 'r', 'e', 'a', 't', 'o', 'r', '\0'}},
};

PacketType TypeOf(const char* name) {
    for (const auto& t : kTypes)
        if (std::memcmp(t.name, name, 16) == 0) return t.type;
    return PacketType::Other;
}

const char* NameOf(PacketType type) {
    for (const auto& t : kTypes)
        if (t.type == type) return t.name;
    return kTypes[0].name;
}

void PutLe(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

uint64_t GetLe(const char* p, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(p[i]);
    return value;
}

void PutId(std::string& out, const Id& id) { out.append(reinterpret_cast<const char*>(id.data()), id.size()); }

Id GetId(const char* p) {
    Id id;
    std::memcpy(id.data(), p, id.size());
    return id;
}

// The header without its MD5 (bytes 16 to 32 are filled in later).
std::string Header(const Id& setId, PacketType type, uint64_t length) {
    std::string h(kMagic, 8);
    PutLe(h, length, 8);
    h.append(16, '\0');
    PutId(h, setId);
    h.append(NameOf(type), 16);
    return h;
}

}  // namespace

std::string Packet(const Id& setId, PacketType type, std::string body) {
    body.resize((body.size() + 3) / 4 * 4, '\0');
    std::string packet = Header(setId, type, kHeaderBytes + body.size()) + body;
    const Md5Digest md5 = Md5Of(packet.data() + 32, packet.size() - 32);
    std::memcpy(&packet[16], md5.data(), md5.size());
    return packet;
}

std::string RecoverySliceHeader(const Id& setId, uint32_t exponent, const void* data, std::size_t size) {
    std::string h = Header(setId, PacketType::RecoverySlice, kSliceOverhead + size);
    PutLe(h, exponent, 4);
    Md5 md5;
    md5.Update(h.data() + 32, h.size() - 32);
    md5.Update(data, size);
    Md5Digest digest{};
    md5.Final(digest);
    std::memcpy(&h[16], digest.data(), digest.size());
    return h;
}

std::string MainBody(uint64_t sliceSize, const Id& fileId) {
    std::string body;
    PutLe(body, sliceSize, 8);
    PutLe(body, 1, 4);
    PutId(body, fileId);
    return body;
}

std::string FileDescriptionBody(const FileEntry& file) {
    std::string body;
    PutId(body, file.fileId);
    PutId(body, file.md5);
    PutId(body, file.md5First16k);
    PutLe(body, file.length, 8);
    return body + file.name;
}

std::string SliceChecksumsBody(const Id& fileId, const std::vector<SliceChecksum>& slices) {
    std::string body;
    body.reserve(16 + 20 * slices.size());
    PutId(body, fileId);
    for (const auto& s : slices) {
        PutId(body, s.md5);
        PutLe(body, s.crc, 4);
    }
    return body;
}

std::string CreatorBody() { return "The File Quorvel"; }

Id FileIdOf(const Md5Digest& md5First16k, uint64_t length, const std::string& name) {
    std::string data;
    PutId(data, md5First16k);
    PutLe(data, length, 8);
    data += name;
    return Md5Of(data.data(), data.size());
}

Id SetIdOf(const std::string& mainBody) { return Md5Of(mainBody.data(), mainBody.size()); }

uint16_t InputConstant(uint32_t index) {
    static const std::vector<uint16_t> exponents = [] {
        std::vector<uint16_t> list;
        for (uint32_t n = 1; n < Gf16::kOrder; ++n)
            if (n % 3 != 0 && n % 5 != 0 && n % 17 != 0 && n % 257 != 0) list.push_back(static_cast<uint16_t>(n));
        return list;
    }();
    return Gf16::Exp(exponents[index % exponents.size()]);
}

namespace {

// Reads one file's packets: the sound ones go into `sets`, by set ID. The
// file goes through one window of bytes, each read once on the way: a
// search for the next packet and small packets are served from it.
class FileScanner {
public:
    FileScanner(PositionedReader& file, std::size_t index, std::map<Id, FoundSet>& sets, std::vector<char>& window,
                const std::atomic<bool>* stop)
        : file_(file), index_(index), sets_(sets), window_(window), stop_(stop), size_(file.Size()) {}

    // False when a packet failed its MD5 or none was sound.
    bool Run() {
        int64_t at = 0;
        bool damaged = false, found = false;
        while (at + int64_t(kHeaderBytes) <= size_) {
            if (Stopped()) return false;
            const int64_t next = NextMagic(at);
            if (next < 0) break;
            if (next != at) damaged = true;
            at = next;
            const char* bytes = Bytes(at, kHeaderBytes);
            if (bytes == nullptr) return false;
            char header[kHeaderBytes];
            std::memcpy(header, bytes, kHeaderBytes);
            const uint64_t length = GetLe(header + 8, 8);
            // Checked against what is left before any sum is taken with it.
            if (length < kHeaderBytes || length % 4 != 0 || length > uint64_t(size_ - at) ||
                !Sound(header, at, length)) {
                damaged = true;
                at += 4;
                continue;
            }
            found = true;
            Take(header, at, length);
            at += static_cast<int64_t>(length);
        }
        return found && !damaged && !Stopped();
    }

private:
    bool Stopped() const { return stop_ != nullptr && stop_->load(std::memory_order_relaxed); }

    // Bytes [at, at + size) of the file, from the window when it holds
    // them, read into it from `at` on otherwise; null when they cannot be
    // read or do not fit the window.
    const char* Bytes(int64_t at, std::size_t size) {
        if (at >= windowAt_ && at + int64_t(size) <= windowAt_ + int64_t(windowLength_))
            return window_.data() + (at - windowAt_);
        const auto length = static_cast<std::size_t>(std::min<int64_t>(int64_t(window_.size()), size_ - at));
        windowLength_ = 0;
        if (length < size || !file_.ReadAt(window_.data(), length, at)) return nullptr;
        windowAt_ = at;
        windowLength_ = length;
        return window_.data();
    }

    // The first offset from `at` (in steps of 4) where a packet may start; -1
    // when none is left. The search goes on through the window already read
    // and reads on only past its end.
    int64_t NextMagic(int64_t at) {
        while (at + 8 <= size_) {
            if (Stopped()) return -1;
            const char* p = Bytes(at, 8);
            if (p == nullptr) return -1;
            const int64_t end = windowAt_ + int64_t(windowLength_);
            for (; at + 8 <= end; at += 4, p += 4)
                if (std::memcmp(p, kMagic, 8) == 0) return at;
        }
        return -1;
    }

    // Whether the packet's MD5 holds. Packets that fail are paid for out of
    // a budget of twice the file: damage costs at most the packets it hit,
    // while headers planted to claim the rest of the file would each have
    // it hashed again. A packet longer than what is left of the budget is
    // taken as failed unread.
    bool Sound(const char* header, int64_t at, uint64_t length) {
        if (length > failBudget_) return false;
        Md5 md5;
        md5.Update(header + 32, kHeaderBytes - 32);
        for (uint64_t done = kHeaderBytes; done < length;) {
            if (Stopped()) return false;
            const auto part = static_cast<std::size_t>(std::min<uint64_t>(window_.size(), length - done));
            const char* bytes = Bytes(at + int64_t(done), part);
            if (bytes == nullptr) return false;
            md5.Update(bytes, part);
            done += part;
        }
        Md5Digest digest{};
        if (md5.Final(digest) && std::memcmp(digest.data(), header + 16, 16) == 0) return true;
        failBudget_ -= length;
        return false;
    }

    void Take(const char* header, int64_t at, uint64_t length) {
        const Id setId = GetId(header + 32);
        const PacketType type = TypeOf(header + 48);
        FoundSet& set = sets_[setId];
        set.setId = setId;
        if (set.sources.empty() || set.sources.back() != index_) set.sources.push_back(index_);
        const uint64_t bodyLength = length - kHeaderBytes;
        if (type == PacketType::RecoverySlice) {
            if (bodyLength < 4) return;
            const char* exponent = Bytes(at + int64_t(kHeaderBytes), 4);
            if (exponent == nullptr) return;
            const auto e = static_cast<uint32_t>(GetLe(exponent, 4));
            // One slice per exponent and file: the first in the file counts.
            if (seen_.insert({&set, e}).second) set.slices.push_back({e, index_, at + int64_t(kSliceOverhead), bodyLength - 4});
            return;
        }
        const bool wanted = type == PacketType::Main || type == PacketType::FileDescription ||
                            (type == PacketType::SliceChecksums && set.sliceChecksums.empty());
        if (!wanted || bodyLength > window_.size()) return;
        const char* bytes = Bytes(at + int64_t(kHeaderBytes), std::size_t(bodyLength));
        if (bytes == nullptr) return;
        const std::string body(bytes, std::size_t(bodyLength));
        if (type == PacketType::Main && !set.haveMain && body.size() >= 12) {
            // The set's ID is the MD5 of this body: anything else is not its main packet.
            if (SetIdOf(body) != setId) return;
            set.haveMain = true;
            set.sliceSize = GetLe(body.data(), 8);
            const uint64_t count = GetLe(body.data() + 8, 4);
            for (uint64_t i = 0; i < count && 12 + 16 * (i + 1) <= body.size(); ++i)
                set.fileIds.push_back(GetId(body.data() + 12 + 16 * i));
        } else if (type == PacketType::FileDescription && body.size() >= 56) {
            FileEntry entry;
            entry.fileId = GetId(body.data());
            entry.md5 = GetId(body.data() + 16);
            entry.md5First16k = GetId(body.data() + 32);
            entry.length = GetLe(body.data() + 48, 8);
            entry.name = body.substr(56);
            entry.name.erase(std::find(entry.name.begin(), entry.name.end(), '\0'), entry.name.end());
            const bool known = std::any_of(set.files.begin(), set.files.end(),
                                           [&](const FileEntry& f) { return f.fileId == entry.fileId; });
            if (!known) set.files.push_back(entry);
        } else if (type == PacketType::SliceChecksums && body.size() >= 16) {
            // Only our file's; the main packet may come later in the file, so
            // the ID is compared where the set is chosen.
            set.checksumsFileId = GetId(body.data());
            for (std::size_t at = 16; at + 20 <= body.size(); at += 20)
                set.sliceChecksums.push_back({GetId(body.data() + at), uint32_t(GetLe(body.data() + at + 16, 4))});
        }
    }

    PositionedReader& file_;
    std::size_t index_;
    std::map<Id, FoundSet>& sets_;
    std::vector<char>& window_;
    const std::atomic<bool>* stop_;
    const int64_t size_;
    int64_t windowAt_ = 0;
    std::size_t windowLength_ = 0;
    uint64_t failBudget_ = 2 * uint64_t(std::max<int64_t>(size_, 0)) + (1 << 20);
    std::set<std::pair<const FoundSet*, uint32_t>> seen_;  // exponents this file gave each set
};

}  // namespace

ScanResult ScanFiles(const std::vector<std::string>& names, const std::atomic<bool>* stop) {
    std::map<Id, FoundSet> sets;
    ScanResult result;
    std::vector<char> window(kScanWindow);
    for (std::size_t i = 0; i < names.size() && !result.stopped; ++i) {
        PositionedReader file;
        if (!file.Open(names[i]) || !FileScanner(file, i, sets, window, stop).Run()) result.damaged.push_back(i);
        result.stopped = stop != nullptr && stop->load(std::memory_order_relaxed);
    }
    for (auto& entry : sets) result.sets.push_back(std::move(entry.second));
    return result;
}

}  // namespace Par2
