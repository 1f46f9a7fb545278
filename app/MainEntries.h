// Catalogue entries that more than one part of the main window shows.
#pragma once

namespace MainEntry {
constexpr int kFileNumber = 57;        // "File Number "
constexpr int kNewPlaceSelected = 70;  // "New place selected!"
constexpr int kProgramName = 72;       // "The File Quorvel"
constexpr int kAbnormalTermination = 83;  // "Abnormal termination!"
constexpr int kStarIsNumber = 115;     // "The * in the names is an integer from 1 to "
}  // namespace MainEntry
