// The set every recovery-file input is tried against: `big`, 3000 bytes in
// three pieces of 1000, piece 2 lost. Made once per process in a private
// folder, so that each input costs one small file write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Fuzzed {

inline constexpr int kPieces = 3;
inline constexpr int64_t kPieceBytes = 1000;

// The big file's bytes: the same in the harness and in the seeds it was made from.
std::string BigFileBytes();
// The folder that holds big.Quorved_1 and big.Quorved_3 (made on first use,
// removed when the process ends).
const std::string& SetFolder();

}  // namespace Fuzzed
