// Piece files and their names: what a piece is on disk, how the n-th piece is
// named, how a set's prefix is found from any one of its pieces, and how the
// pieces of a set are counted and measured. Standard library only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/FileAccess.h"
#include "io/Paths.h"

// The marker put between a set's prefix and the piece number by default.
inline constexpr const char* kDefaultMarker = ".Quorved_";

// True when marker can sit between a name and a number in a file name: not
// empty, no path separator, no control character, and no digit at its end
// (which would make a piece name read as two different pieces).
bool IsUsableMarker(const std::string& marker);

// Where the pieces of bigFile go in folder: Paths::InFolder(folder, FileNamePart(bigFile)).
std::string MakePiecePrefix(const std::string& folder, const std::string& bigFile);

// A whole number of decimal digits only, 0..max, into value; a sign, blanks,
// a unit or an overflow make it invalid rather than quietly another number.
bool ParseDecimal(const std::string& text, int64_t max, int64_t& value);

// The piece number written as `digits` (decimal, no leading zero, 1 up to
// the largest int32_t); 0 when it is no piece number.
int32_t PieceNumberIn(const std::string& digits);

// prefix + marker + decimal n.
std::string PieceName(const std::string& prefix, const std::string& marker, int32_t n);

// prefix + marker + "*", the form in which a set is shown.
std::string PiecePattern(const std::string& prefix, const std::string& marker);

// Everything before the right-most occurrence of marker that is followed by at
// least one more character; empty when there is none (or the marker is empty).
// Case-sensitive.
std::string PrefixFromPieceName(const std::string& pieceName, const std::string& marker);

// The prefix of the set a file belongs to by its name: a piece's or the
// checksum file's (PrefixFromPieceName); for the recovery files NAME.par2,
// NAME.volNN+MM.par2 and NAME~K.par2, which lie beside the pieces, their
// folder and NAME. Empty when the name is none of these.
std::string SetPrefixOf(const std::string& name, const std::string& marker);

// Where a join writes the big file: Paths::InFolder(bigFileFolder, FileNamePart(prefix)).
std::string BigFileTarget(const std::string& prefix, const std::string& bigFileFolder);

// True when the prefix's first character is exactly 'A' or 'B' (a floppy drive).
bool IsFloppyPrefix(const std::string& prefix);

// When a split or join asks for the next disk; the values are the stored ones.
enum class PauseMode : int32_t {
    Always = 0,
    Sometimes = 1,  // floppy prefixes only, and on Linux pieces on removable media
    Never = 2,
};

// The pause rule shared by the engine and the join workflow; any value other
// than the three behaves as Sometimes.
bool PausesBeforePieces(PauseMode mode, const std::string& prefix);

struct NumberedPiece {
    int32_t number;
    std::string name;
};

// Every entry of the prefix's folder named prefix + marker + a piece number
// (decimal digits without leading zeros, 1 and up), of any kind, in no order;
// on Windows in any letter case, as the file system sees names.
std::vector<NumberedPiece> ExistingPieces(const std::string& prefix, const std::string& marker);

