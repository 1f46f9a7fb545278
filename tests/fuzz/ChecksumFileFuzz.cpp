// Checksum files from elsewhere: any text goes through the parser, which
// must never crash, and whatever it accepts must hold together.
#include "engine/ChecksumFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ChecksumRead read = ParseChecksumFile(text, ".Quorved_");
    if (read.status == ChecksumRead::Status::Ok) {
        const ChecksumSet& set = read.set;
        if (set.count < 0 || set.sizes.size() != set.digests.size()) std::abort();
        for (const int64_t bytes : set.sizes) {
            if (bytes < 0) std::abort();
        }
    }
    return 0;
}
