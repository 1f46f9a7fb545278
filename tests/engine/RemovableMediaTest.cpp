// The removable-media rule on a prepared sysfs tree and mount table.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/RemovableMedia.h"
#include "tests/engine/EngineTestSupport.h"

namespace fs = std::filesystem;

namespace {

// A sysfs tree with a SATA disk (8:0, partition 8:1), a USB stick whose
// partition 8:17 carries no flag of its own, and a memory card (179:1)
// whose only sign is its bus.
class RemovableMedia : public ::testing::Test {
protected:
    void SetUp() override {
        Device("8:1", "devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda/sda1", "0");
        Device("8:17", "devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/host6/target6:0:0/6:0:0:0/block/sdb/sdb1",
               "1");
        Device("179:1", "devices/platform/soc/mmc_host/mmc0/mmc0:aaaa/block/mmcblk0/mmcblk0p1", "0");
        mounts =
            "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
            "40 22 8:17 / /media/u/MY\\040STICK rw,nosuid - vfat /dev/sdb1 rw\n"
            "41 22 179:1 / /media/u/card rw - exfat /dev/mmcblk0p1 rw\n"
            "42 22 0:45 / /run/user/1000 rw - tmpfs tmpfs rw\n"
            "43 22 7:3 / /mnt/gone rw - ext4 /dev/loop3 rw\n";
    }

    // A partition at devicePath whose disk has the given removable flag, and
    // its dev/block link.
    void Device(const std::string& numbers, const std::string& devicePath, const std::string& diskFlag) {
        const fs::path partition = fs::path(sys.Path()) / devicePath;
        fs::create_directories(partition);
        WriteFile((partition / "partition").string(), "1\n");
        WriteFile((partition.parent_path() / "removable").string(), diskFlag + "\n");
        fs::create_directories(fs::path(sys.Path()) / "dev/block");
        fs::create_symlink(fs::path("../..") / devicePath, fs::path(sys.Path()) / "dev/block" / numbers);
    }

    bool Removable(const std::string& path) { return IsOnRemovableMedia(path, mounts, sys.Path()); }

    TempFolder sys;
    std::string mounts;
};

TEST_F(RemovableMedia, StickAndCardAreRemovableInternalDiskIsNot) {
    // The stick's disk flag counts for its partition; the card by its bus.
    EXPECT_TRUE(Removable("/media/u/MY STICK/Setup.exe"));
    EXPECT_TRUE(Removable("/media/u/MY STICK"));
    EXPECT_TRUE(Removable("/media/u/card/DCIM/photos.zip"));
    EXPECT_FALSE(Removable("/home/u/Setup.exe"));
    // A folder whose name only starts like a mount point is not on it.
    EXPECT_FALSE(Removable("/media/u/MY STICKER/Setup.exe"));
}

TEST_F(RemovableMedia, WhatCannotBeClassifiedIsNotRemovable) {
    EXPECT_FALSE(Removable("/run/user/1000/x"));  // no block device
    EXPECT_FALSE(Removable("/mnt/gone/x"));       // device missing in sysfs
    EXPECT_FALSE(IsOnRemovableMedia("/media/u/MY STICK/x", "", sys.Path()));
    EXPECT_FALSE(IsOnRemovableMedia("/media/u/MY STICK/x", "garbage\n\n1 2\n", sys.Path()));
    EXPECT_FALSE(IsOnRemovableMedia("/media/u/MY STICK/x", mounts, sys / "missing"));
}

}  // namespace
