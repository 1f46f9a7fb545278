// quorvel-cli's work: splits or joins as the command line says, reporting in
// the program's own English texts. Kept apart from main() so that tests can
// run it with their own streams.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Exit status: 0 done, 1 the split or join failed (or its input was
// missing), 2 the command line was not understood. Questions are read from
// `in`; progress goes to `err` on one line of progressWidth columns (the
// terminal's width), none when progressWidth is 0 (not a terminal).
int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
           int progressWidth);

// The progress line in fewer than `width` columns: the progress text, then
// the path of the piece in transfer shortened in its middle; the progress
// alone, cut at the end, when the path has no room.
std::string ProgressLine(const std::string& progress, const std::string& path, int width);
