// Size arithmetic of the piece plan and the unit rounding of the size display,
// as plain functions that tests and the command line call without a window.
// Standard library only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A set is cut into at most this many pieces.
inline constexpr int32_t kMaxPieces = 32760;

// The whole number at the start of a text: leading white space, an optional
// sign, then decimal digits; 0 without digits. Saturates at the 64-bit range
// instead of wrapping.
int64_t LeadingInteger(const std::string& text);

struct PiecePlan {
    enum class Outcome {
        Planned,       // sizes[1..count] hold the plan
        NoFile,        // bigFileBytes <= 0: nothing to plan
        TooManyFiles,  // more than kMaxPieces pieces would be needed
        KeptTooBig,    // the kept pieces hold more than the file; sizes is the plan from scratch
    };
    // TooManyFiles and NoFile leave count 0 and no sizes. KeptTooBig whose plan
    // from scratch would also need too many pieces reports TooManyFiles.
    Outcome outcome = Outcome::NoFile;
    int32_t count = 0;
    std::vector<int64_t> sizes{0};  // element 0 holds no piece
};

// Plans the pieces of a file of bigFileBytes: pieces 1..keep keep the sizes
// in kept[1..keep], the rest get baseSize each and the last one what remains.
// A keep beyond kept's last element counts only the pieces kept holds; a base
// size of 0 or less can never finish a file and ends in TooManyFiles.
PiecePlan PlanPieces(int64_t bigFileBytes, int64_t baseSize, const std::vector<int64_t>& kept = {0}, int32_t keep = 0);

// size / divisor rounded to three decimals, halves up.
double RoundToUnit(int64_t size, int64_t divisor);

// The units the big file's size is shown in; the values are the stored ones.
enum class SizeUnit : int32_t { Bytes = 1, Kilobytes = 2, Megabytes = 3, Gigabytes = 4 };

// Bytes in one unit: 1 for Bytes, then 1024, 1024², 1024³. The window's size
// display and the sizes typed on the command line use the same units.
int64_t UnitBytes(SizeUnit unit);

// A size as people type it: whole decimal digits, then optionally a unit K, M
// or G (UnitBytes: powers of 1024), written alone, with B ("MB") or as "MiB";
// letter case does not matter. -1 for anything else, or beyond 64 bits.
int64_t ParseSize(const std::string& text);

// The smallest base size that cuts a file of bigFileBytes into at most
// kMaxPieces pieces; 1 for an empty file.
int64_t SmallestBaseSize(int64_t bigFileBytes);
