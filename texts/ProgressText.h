// What a running split or join says about itself: how far it is, bytes done
// of the total, the speed, the time left and the piece in transfer. The
// window's status bar and quorvel-cli's progress line both read it.
#pragma once

#include <cstdint>
#include <string>

#include "texts/TextCatalogue.h"

struct TransferStatus {
    int32_t position = 0;    // the bar, 0..1000
    int64_t totalBytes = 0;  // 0: not known (a join that measures each piece as it reaches it)
    int32_t piece = 0;       // 1-based number of the piece in transfer; 0: none yet
    int32_t pieceCount = 0;  // 0: not known (a free-space split)
    double seconds = 0;      // time spent copying so far, disk questions left out
};

// The status text in language `lang`, parts the transfer cannot know left
// out; decimalPoint as the size display uses it.
std::string ProgressText(const TransferStatus& status, Language lang, const std::string& decimalPoint);

// A byte count in the unit that suits `scale` (B, kB, MB, GB of 1024),
// with two decimals below 10, one below 100, none above; the unit is not
// appended. Returns the unit apart.
std::string SizeInUnit(int64_t bytes, int64_t scale, const std::string& decimalPoint, std::string* unit);
