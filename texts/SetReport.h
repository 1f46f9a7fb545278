// What the user reads after a check or a repair of a set: why the set could
// not be checked, every bad piece, what the recovery files can do, and how a
// repair ended. The window shows these texts; the command line prints the
// set's status and a repair's failure with the same words.
#pragma once

#include <string>

#include "engine/ChosenSet.h"
#include "texts/TextCatalogue.h"

// Why a set cannot be checked (no checksum file, another set's, unreadable,
// damaged, unfinished, through another user's link), and on lines of their
// own the system's reason and a staging folder an interrupted split left.
// Empty when the set loaded.
std::string SetStatusText(Language lang, const LoadedSet& loaded, const std::string& prefix, const std::string& marker);

// One bad piece by number and file name, and why; the system's reason on a
// line of its own where there is one.
std::string BadPieceText(Language lang, const BadPiece& piece);

// What the recovery files can do for the bad pieces the check found: the
// files passed over, how many they can rebuild, and how many pieces' worth
// of recovery data is missing; that there are none usable.
std::string RecoveryVerdictText(Language lang, const CheckedSet& checked);

// Why a repair that was tried did not put every bad piece in place; empty
// when it did.
std::string RepairFailureText(Language lang, const RepairedSet& repaired);

// The whole report of a check, lines apart.
std::string CheckReport(Language lang, const CheckedSet& checked, const std::string& marker);
// The whole report of a repair, lines apart: the bad pieces found, then what
// was put in place and what was not.
std::string RepairReport(Language lang, const RepairedSet& repaired, const std::string& marker);
