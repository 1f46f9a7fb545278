#include "engine/RemovableMedia.h"

#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "io/FileAccess.h"

namespace fs = std::filesystem;

namespace {

// mountinfo writes blanks, tabs, newlines and backslashes in paths as \ooo.
std::string Unescape(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string::npos) {
                out += static_cast<char>(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

// mountPoint equals path or is a folder above it.
bool Contains(const std::string& mountPoint, const std::string& path) {
    if (path.compare(0, mountPoint.size(), mountPoint) != 0) return false;
    return path.size() == mountPoint.size() || mountPoint.back() == '/' || path[mountPoint.size()] == '/';
}

// The "major:minor" of the mount that holds path; empty when none does.
std::string DeviceOf(const std::string& path, const std::string& mountInfo) {
    std::istringstream lines(mountInfo);
    std::string line, device, best;
    while (std::getline(lines, line)) {
        // mount id, parent id, major:minor, root, mount point, ...
        std::istringstream fields(line);
        std::string id, parent, numbers, root, mountPoint;
        if (!(fields >> id >> parent >> numbers >> root >> mountPoint)) continue;
        mountPoint = Unescape(mountPoint);
        // The longest mount point wins; a later mount over the same one hides it.
        if (Contains(mountPoint, path) && mountPoint.size() >= best.size()) {
            best = mountPoint;
            device = numbers;
        }
    }
    return device;
}

bool FlagSet(const fs::path& file) {
    std::ifstream in(file);
    char flag = 0;
    return in >> flag && flag == '1';
}

// A folder of the device's sysfs path names a bus that carries removable media.
bool OnRemovableBus(const fs::path& devicePath) {
    for (const fs::path& part : devicePath) {
        const std::string name = part.string();
        auto startsWith = [&](const char* head) { return name.rfind(head, 0) == 0; };
        if (startsWith("usb") || startsWith("mmc") || startsWith("floppy")) return true;
    }
    return false;
}

}  // namespace

bool IsOnRemovableMedia(const std::string& path, const std::string& mountInfo, const std::string& sysRoot) {
    std::error_code ec;
    fs::path full = fs::absolute(Paths::Native(path), ec);
    if (ec) return false;
    // Links are followed as far as the path exists; the rest is kept as written.
    full = fs::weakly_canonical(full, ec);
    if (ec) return false;
    const std::string device = DeviceOf(full.string(), mountInfo);
    if (device.empty()) return false;
    const fs::path block = fs::canonical(fs::path(sysRoot) / "dev" / "block" / device, ec);
    if (ec) return false;
    if (FlagSet(block / "removable")) return true;
    // A partition carries no flag of its own; its disk is the folder above.
    if (fs::exists(block / "partition", ec) && FlagSet(block.parent_path() / "removable")) return true;
    return OnRemovableBus(fs::relative(block, fs::canonical(sysRoot, ec), ec));
}

bool IsOnRemovableMedia(const std::string& path) {
    std::ifstream in("/proc/self/mountinfo");
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    return IsOnRemovableMedia(path, text.str(), "/sys");
}
