// Puts a new set, whole in its staging folder, in the place of an older one
// as one change, as far as a file system allows. First every older file that
// has to go (replaced or removed) is moved aside into the staging folder, in
// the order given; then the new files take their names, in the order given.
// A step that fails puts back everything done so far, so the folder holds the
// older set as it was. What a kill leaves depends on the orders the caller
// chooses (see SplitJob::PutSetInPlace). Standard library only.
#pragma once

#include "engine/Staging.h"

#include <string>
#include <vector>

class SetPlacement {
public:
    explicit SetPlacement(StagingFolder& staging) : staging_(staging) {}

    // An older file that leaves the folder; each name once.
    void Retire(const std::string& path);
    // A new file waiting at `staged` takes the name `finalName`, with the
    // permission bits of the older file of that name, or `permissions`
    // (-1: as it is) where there is none.
    void Place(const std::string& staged, const std::string& finalName, int permissions);
    bool Retires(const std::string& path) const;

    // False after putting everything back; FailedName() and Error() say
    // which name could not be moved and why.
    bool Run();
    const std::string& FailedName() const { return failedName_; }
    int Error() const { return error_; }

    // A pause before every step, in milliseconds (0: none): lets a test kill
    // the program while a set takes its names.
    static void SetStepPause(int milliseconds);

private:
    struct Move {
        std::string from, to;
    };
    bool Step(const std::string& from, const std::string& to, std::vector<Move>& done);
    void Undo(std::vector<Move>& done);

    StagingFolder& staging_;
    std::vector<std::string> retired_;
    std::vector<Move> placed_;
    std::vector<int> permissions_;
    std::string failedName_;
    int error_ = 0;
};
