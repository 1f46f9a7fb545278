// A set's files as they lie on disk: its checksum file and what it says, its
// recovery files, what earlier runs left beside it, and which files of an
// older set a new split may prove to be that set's. The one place that
// decides which files belong to a set: the join, check, repair, the split
// and the window all ask here. Standard library only.
#pragma once

#include "engine/ChecksumFile.h"
#include "engine/PieceNaming.h"

#include <cstdint>
#include <string>
#include <vector>

struct DiscoveredPieces {
    // What comes after piece `count`: nothing; a piece count+1 that is there
    // but cannot be read (a folder, a FIFO, a link to nowhere, no permission);
    // or pieces with higher numbers, so that count+1 is missing from the set.
    enum class End { Whole, NextUnreadable, NextMissing };

    bool firstMissing = true;       // piece 1 could not be opened
    int32_t count = 0;              // pieces 1..count exist without a gap
    std::vector<int64_t> sizes{0};  // sizes[1..count]; element 0 holds no piece
    int64_t total = 0;              // sum of sizes
    End end = End::Whole;
};

// Counts and measures the pieces 1, 2, ... of a set up to the first number
// whose file cannot be opened, and says whether the set ends there. Where
// the set has a finished checksum file (beside the pieces, or beside
// `target`, the big file), the set ends at the count it names, whatever
// lies beyond.
DiscoveredPieces DiscoverPieces(const std::string& prefix, const std::string& marker, const std::string& target = {});

struct LoadedSet {
    enum class Status {
        Ok,              // a finished checksum file of these pieces: `read.set`
        NoChecksumFile,  // nothing of its name beside the pieces (or the target)
        Unreadable,      // there, but it cannot be read: read.error
        Unfinished,      // the split that wrote it did not finish
        Damaged,         // malformed or inconsistent: read.line, read.reason
        OtherSet,        // it lists other pieces: `related` (a pattern)
        LinkNotTrusted,  // reached through `untrustedLink`, another user's link
    };
    Status status = Status::NoChecksumFile;
    std::string checksumPath;
    ChecksumRead read;
    std::string related;
    std::string untrustedLink;
    std::vector<std::string> recoveryFiles;  // when Ok: the set's recovery files at hand
    std::string leftStaging;                 // a staging folder an interrupted split left

    bool Ok() const { return status == Status::Ok; }
};

// True when name is a file of a set -- a piece (prefix, marker, a piece
// number written as PieceName writes it), the checksum file or a recovery
// file (SetPrefixOf) -- and piece 1 of that set, or its checksum file, can be
// opened.
bool IsPieceOfPresentSet(const std::string& name, const std::string& marker);

// The set of the pieces prefix + marker + number, with its checksum file
// beside them or beside `target` (the big file), when one is given.
LoadedSet LoadSet(const std::string& prefix, const std::string& marker, const std::string& target = {});

// The first link on the way to `name` that neither the user running the
// program nor the owner of its folder owns: in a shared folder it may have
// been planted to make the program read, or write, another user's file.
// Empty when there is none.
std::string UntrustedLinkTo(const std::string& name);

// Whether the finished checksum file at `path`, named for prefix + marker, is
// another set's: its big file is not prefix's, whatever marker that set's
// pieces take (big.Quorved with "_" and big with ".Quorved_" share names).
// `ours` is the file as read with this set's marker.
bool IsOtherSetsChecksumFile(const std::string& path, const ChecksumRead& ours, const std::string& prefix,
                             const std::string& marker);

// The pieces of prefix that the older set's checksum file `older` proves to
// be that set's: listed by name, a regular file of the listed size.
std::vector<NumberedPiece> ProvenOlderPieces(const std::string& prefix, const std::string& marker,
                                             const ChecksumRead& older);
// The recovery files in `folder` that `older` lists, by name and SHA-256.
std::vector<std::string> ProvenOlderRecoveryFiles(const std::string& folder, const ChecksumRead& older);
// Files named like pieces of prefix numbered after `count` that the older
// set's checksum file (there or not) does not prove to be its own: a join
// that counts pieces would take them in after a new set of `count` pieces.
// The big file itself is never among them.
std::vector<std::string> UnprovenFollowers(const std::string& prefix, const std::string& marker,
                                           const std::string& bigFile, int32_t count);
// The same, with the older set's checksum file already read.
std::vector<std::string> UnprovenFollowers(const std::string& prefix, const std::string& marker,
                                           const std::string& bigFile, int32_t count, const ChecksumRead& older);
