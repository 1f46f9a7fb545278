// Texts that came after the catalogue: reasons for a failure, questions and
// progress of later versions, in the catalogue's three languages. Also the
// one rule that turns a transfer's result into the text the user reads.
#pragma once

#include <cstdint>
#include <string>

enum class Extra {
    ReasonDiskFull,
    ReasonNoPermission,
    ReasonNameTooLong,
    ReasonReadOnlyDisk,
    ReasonIoError,
    Stopped,
    ReplaceTarget,  // %1: the full name of the file a join would replace
    NothingJoined,
    Count  // not a text
};

// The text in language lang (outside 0..2 reads English).
const std::string& ExtraText(int lang, Extra id);
// The text in LanguageIndex's language.
const std::string& ExtraText(Extra id);

// Why a file operation failed, for the errno values a user can act on (disk
// full, no permission, name too long, read-only disk, I/O error); empty for
// any other value.
std::string ReasonText(int lang, int systemError);

// What the user reads when a split (split = true) or join ends with `code`
// other than success: the catalogue's message for the code, and on a line of
// its own the reason behind systemError where there is one a user can act on.
std::string FailureText(int lang, int32_t code, bool split, int systemError);
