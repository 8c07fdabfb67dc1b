#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tessaloom {

/// One line of /proc/self/mountinfo, escapes decoded.
struct MountEntry
{
    std::string device;     ///< "major:minor" of the file system
    std::string root;       ///< the folder of the file system mounted here
    std::string mountPoint; ///< where it is mounted
    std::string fsType;
    std::string source;       ///< "/dev/sda1", "server:/export", ...
    std::string superOptions; ///< "rw,lowerdir=...,upperdir=..." and so on
};

/// A volume the drive search walks, in the order of the volume list.
struct Volume
{
    std::string mountPoint;
    std::string fsType;
    std::string source;
    std::string label; ///< empty when the volume has none
    /// The volume list's entry: the mount point, then the label (else the source)
    /// in brackets, as in "/home [DATA]".
    std::string entryText;
};

/// The lines of a mountinfo text; malformed lines are left out.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

/// True for file systems that hold no user files: kernel views, memory file
/// systems, container and snap images.
bool IsPseudoFileSystem(std::string_view fsType);

/// The real volumes among `mounts`, in their order, each walked once: a later mount
/// of a file system (or of a part of it) that an earlier one already shows is left
/// out. The volume at "/" is always kept, also when it is an overlay or squashfs
/// (live systems, image-based systems, containers); the internals of such a root
/// are not: the layers of an overlay, and what is mounted below /proc, /sys, /dev
/// and /run (except /run/media, where removable drives may be mounted). `labels` maps a device path
/// to its label. Mount points that are not folders (single bind-mounted files) are kept out by the
/// caller's walk, which simply finds no folder there.
std::vector<Volume> SelectVolumes(const std::vector<MountEntry>& mounts,
                                  const std::map<std::string, std::string>& labels);

/// The real volumes of this system, from /proc/self/mountinfo, with the labels
/// found under /dev/disk/by-label.
std::vector<Volume> MountedVolumes();

} // namespace tessaloom
