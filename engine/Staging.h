// The hidden folder in which a split's new set waits until it is whole, and
// what killed runs of the program leave beside a set. A staging folder is
// private to its user, names the set it belongs to and is locked while its
// split runs, so that no other run takes it for a leftover. Standard library
// only.
#pragma once

#include "io/FileAccess.h"

#include <string>
#include <vector>

// Where every staging folder's name starts: .~quorvel-XXXXXXXX.
inline constexpr const char* kStagingHead = ".~quorvel-";

class StagingFolder {
public:
    StagingFolder() = default;
    ~StagingFolder() = default;  // the folder stays unless removed: a failure decides that
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    // A new staging folder beside the set prefix + marker; false with Error().
    bool Create(const std::string& prefix, const std::string& marker);
    int Error() const { return error_; }
    bool Empty() const { return path_.empty(); }
    const std::string& Path() const { return path_; }
    // Where a file of the set (its final name given) waits inside.
    std::string Inside(const std::string& finalName) const;
    // A new short name inside for a file with no name of the set (an older file moved aside).
    std::string SpareName();
    // Removes the folder and all it holds.
    void Remove();

private:
    std::string path_;
    FileLock lock_;
    int error_ = 0;
    int spare_ = 0;
};

// What earlier runs left beside the set prefix + marker.
struct Leftovers {
    std::vector<std::string> staging;      // staging folders of the set that no running split holds
    bool splitRunning = false;             // a split of the set holds a staging folder now
    std::vector<std::string> temporaries;  // this program's temporary files that no run holds
};
// Only entries of the user running the program count: one of another user's
// is never taken for a leftover.
Leftovers FindLeftovers(const std::string& prefix, const std::string& marker);
void RemoveLeftovers(const Leftovers& leftovers);

// True when `entry` (a name without folder) is one of the set's: a piece or
// the checksum file of prefixName + marker, or a recovery file of prefixName.
bool IsNameOfSet(const std::string& entry, const std::string& prefixName, const std::string& marker);
// True for a recovery file of the big file `bigName`: <big>.par2, <big>.vol*.par2.
bool IsRecoveryName(const std::string& entry, const std::string& bigName);
