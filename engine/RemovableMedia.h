// Whether a path lies on removable media (a USB stick, a memory card, a
// floppy disk), the Linux counterpart of the old "drive A: or B:" question.
// Standard library only.
#pragma once

#include <string>

// True when path (a file or a folder, existing or not; relative to the current
// folder) is on a mount whose block device sysfs marks removable -- its own
// `removable` flag or that of the whole disk it is a partition of -- or hangs
// off a USB, MMC or floppy bus. mountInfo is the text of a mountinfo table
// (the format of /proc/self/mountinfo); sysRoot is where sysfs is mounted.
// Anything that cannot be classified counts as not removable.
bool IsOnRemovableMedia(const std::string& path, const std::string& mountInfo, const std::string& sysRoot);

// The same for this system: /proc/self/mountinfo and /sys.
bool IsOnRemovableMedia(const std::string& path);
