#include "discovery/mountedvolumes.h"

#include <gtest/gtest.h>

namespace tessaloom {
namespace {

// Lines in the kernel's mountinfo form, as a desktop with a USB stick, a network
// share, btrfs subvolumes and the usual kernel file systems would show them.
constexpr std::string_view kMountInfo =
    "21 26 0:20 / /proc rw,relatime - proc proc rw\n"
    "26 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
    "27 26 0:24 / /run rw,nosuid shared:5 - tmpfs tmpfs rw,size=812k\n"
    "28 26 0:25 / /sys/fs/cgroup rw master:3 - cgroup2 cgroup2 rw\n"
    "30 26 8:2 /srv/exports /export/data rw,relatime - ext4 /dev/sda2 rw\n"
    "31 26 8:17 / /media/user/MY\\040STICK rw,nosuid - vfat /dev/sdb1 rw\n"
    "32 26 0:40 /@ /data rw - btrfs /dev/sdc1 rw,subvol=/@\n"
    "33 26 0:40 /@home /data/home rw - btrfs /dev/sdc1 rw,subvol=/@home\n"
    "34 26 0:40 /@home /data/home-again rw - btrfs /dev/sdc1 rw,subvol=/@home\n"
    "35 26 0:50 / /mnt/share rw - cifs //server/share rw\n"
    "36 26 0:51 / /mnt/nfs rw - nfs4 server:/export rw\n"
    "37 26 0:52 / /mnt/win rw - fuseblk /dev/sdd1 rw\n"
    "38 26 0:53 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
    "39 26 0:54 / /run/user/1000/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw\n"
    "40 26 0:55 / /var/lib/docker/overlay2/x/merged rw - overlay overlay rw\n"
    "garbage line without fields\n"
    "41 26 0:56 / relative rw - ext4 /dev/sde1 rw\n"
    "42 26 0:57 / /mnt/short rw ext4 /dev/sdf1 rw\n"
    "43 26 8:2 / /mnt/root-again rw - ext4 /dev/sda2 rw"; // no final line feed

TEST(MountedVolumes, ParsesMountInfoAndDecodesEscapes)
{
    const std::vector<MountEntry> mounts = ParseMountInfo(kMountInfo);
    ASSERT_EQ(mounts.size(), 16u); // the garbage, relative and short lines are gone
    EXPECT_EQ(mounts[1].device, "8:2");
    EXPECT_EQ(mounts[1].mountPoint, "/");
    EXPECT_EQ(mounts[1].fsType, "ext4");
    EXPECT_EQ(mounts[1].source, "/dev/sda2");
    EXPECT_EQ(mounts[5].mountPoint, "/media/user/MY STICK");
    EXPECT_EQ(mounts[6].root, "/@");
    EXPECT_EQ(mounts.back().mountPoint, "/mnt/root-again");

    const std::vector<MountEntry> escaped =
        ParseMountInfo("1 1 0:1 / /a\\011b\\134c\\012d\\0 rw - ext4 /dev/x\\040y rw\n");
    ASSERT_EQ(escaped.size(), 1u);
    EXPECT_EQ(escaped[0].mountPoint, "/a\tb\\c\nd\\0");
    EXPECT_EQ(escaped[0].source, "/dev/x y");
}

TEST(MountedVolumes, KeepsRealVolumesOnceInTheirOrder)
{
    const std::vector<Volume> volumes =
        SelectVolumes(ParseMountInfo(kMountInfo), {{"/dev/sdb1", "MY STICK"}});
    std::vector<std::string> entries;
    for (const Volume& volume : volumes)
        entries.push_back(volume.entryText);
    // The bind mounts of /dev/sda2 show nothing new; btrfs subvolumes are walked
    // each on its own, but the same subvolume only once.
    EXPECT_EQ(entries, (std::vector<std::string>{
                           "/ [/dev/sda2]", "/media/user/MY STICK [MY STICK]", "/data [/dev/sdc1]",
                           "/data/home [/dev/sdc1]", "/mnt/share [//server/share]",
                           "/mnt/nfs [server:/export]", "/mnt/win [/dev/sdd1]"}));
    EXPECT_EQ(volumes[1].label, "MY STICK");
    EXPECT_EQ(volumes[1].mountPoint, "/media/user/MY STICK");

    for (const char* pseudo : {"proc", "sysfs", "tmpfs", "devtmpfs", "cgroup", "cgroup2", "overlay",
                               "squashfs", "devpts", "autofs", "fuse.portal"})
        EXPECT_TRUE(IsPseudoFileSystem(pseudo)) << pseudo;
    for (const char* real : {"ext4", "btrfs", "xfs", "vfat", "exfat", "ntfs", "ntfs3", "fuseblk",
                             "fuse.sshfs", "nfs", "nfs4", "cifs", "iso9660"})
        EXPECT_FALSE(IsPseudoFileSystem(real)) << real;
}

TEST(MountedVolumes, KeepsARootMadeOfImagesButNotItsInternals)
{
    // A live system: the root is an overlay of a squashfs image and a tmpfs, with
    // the boot medium and the layers mounted below /run.
    constexpr std::string_view kLive =
        "20 1 0:30 / / rw - overlay overlay rw,lowerdir=/run/live/rootfs/filesystem.squashfs/,"
        "upperdir=/run/live/overlay/rw,workdir=/run/live/overlay/work\n"
        "21 20 0:5 / /proc rw - proc proc rw\n"
        "22 20 11:0 / /run/live/medium ro - iso9660 /dev/sr0 ro\n"
        "23 20 7:0 / /run/live/rootfs/filesystem.squashfs ro - squashfs /dev/loop0 ro\n"
        "24 20 0:31 / /run/live/overlay rw - tmpfs tmpfs rw\n"
        "25 20 8:1 / /home rw - ext4 /dev/sda1 rw\n"
        "26 20 8:17 / /run/media/u/STICK rw - vfat /dev/sdb1 rw\n"
        "27 20 8:33 / /sys/firmware/efi rw - vfat /dev/sdc1 rw\n"
        "28 20 8:49 / /layers/low rw - ext4 /dev/sdd1 rw\n"
        "29 20 0:40 / /mnt/merged rw - overlay overlay rw,lowerdir=/layers/low:/layers/a\\:b\n"
        "30 20 8:65 / /layers/a:b rw - ext4 /dev/sde1 rw\n";
    std::vector<std::string> entries;
    for (const Volume& volume : SelectVolumes(ParseMountInfo(kLive), {}))
        entries.push_back(volume.entryText);
    EXPECT_EQ(entries, (std::vector<std::string>{"/ [overlay]", "/home [/dev/sda1]",
                                                 "/run/media/u/STICK [/dev/sdb1]"}));

    // A container or an image-based system: the root alone.
    for (const char* root : {"1 0 0:50 / / rw - overlay overlay rw,lowerdir=/var/lib/x\n",
                             "1 0 7:1 / / ro - squashfs /dev/loop1 ro\n"}) {
        const std::vector<Volume> volumes = SelectVolumes(ParseMountInfo(root), {});
        ASSERT_EQ(volumes.size(), 1u) << root;
        EXPECT_EQ(volumes[0].mountPoint, "/");
    }
}

} // namespace
} // namespace tessaloom
