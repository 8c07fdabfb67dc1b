#include "discovery/mountedvolumes.h"

#include "platform/readfile.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tessaloom {

namespace {

constexpr std::string_view kPseudoFileSystems[] = {
    "autofs",      "binfmt_misc", "bpf",           "cgroup",         "cgroup2",
    "configfs",    "debugfs",     "devpts",        "devtmpfs",       "efivarfs",
    "erofs",       "fusectl",     "hugetlbfs",     "mqueue",         "nfsd",
    "nsfs",        "overlay",     "aufs",          "proc",           "pstore",
    "ramfs",       "rpc_pipefs",  "securityfs",    "selinuxfs",      "squashfs",
    "sysfs",       "tmpfs",       "tracefs",       "zram",           "fuse.gvfsd-fuse",
    "fuse.portal", "fuse.lxcfs",  "fuse.snapfuse", "fuse.squashfuse"};

// mountinfo writes blank, tab, line feed and backslash as "\ooo".
std::string DecodeOctalEscapes(std::string_view field)
{
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 4 <= field.size() && octal(field[i + 1]) &&
            octal(field[i + 2]) && octal(field[i + 3])) {
            const int value =
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (value < 256) {
                out += static_cast<char>(value);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

// udev writes unsafe characters of a label as "\xNN".
std::string DecodeHexEscapes(std::string_view name)
{
    const auto hex = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && hex(name[i + 2]) >= 0 &&
            hex(name[i + 3]) >= 0) {
            out += static_cast<char>(hex(name[i + 2]) * 16 + hex(name[i + 3]));
            i += 3;
            continue;
        }
        out += name[i];
    }
    return out;
}

std::vector<std::string_view> SplitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        const std::size_t start = pos;
        while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t')
            ++pos;
        if (pos > start)
            fields.push_back(line.substr(start, pos - start));
    }
    return fields;
}

// True when `inner` is `outer` or lies beneath it, as folder paths.
bool IsSameOrBeneath(std::string_view inner, std::string_view outer)
{
    if (outer == "/" || inner == outer)
        return true;
    return inner.size() > outer.size() && inner.starts_with(outer) && inner[outer.size()] == '/';
}

// Places that hold only the running system's own mounts, never a user's volume.
bool IsRuntimePlace(std::string_view mountPoint)
{
    for (const std::string_view place : {"/proc", "/sys", "/dev", "/run"}) {
        if (IsSameOrBeneath(mountPoint, place))
            return !IsSameOrBeneath(mountPoint, "/run/media");
    }
    return false;
}

// The folders an overlay mount is made of: "lowerdir=a:b", "upperdir=",
// "workdir=" in its options. Commas and colons inside a path are escaped with "\".
std::vector<std::string> LayerFolders(const std::vector<MountEntry>& mounts)
{
    std::vector<std::string> layers;
    for (const MountEntry& mount : mounts) {
        if (mount.fsType != "overlay")
            continue;
        std::string_view options = mount.superOptions;
        std::string current;
        bool inLayer = false;
        const auto finish = [&] {
            if (inLayer && !current.empty())
                layers.push_back(current);
            current.clear();
        };
        for (std::size_t i = 0; i <= options.size(); ++i) {
            const bool end = i == options.size();
            const char c = end ? ',' : options[i];
            if (!end && c == '\\' && i + 1 < options.size()) {
                current += options[++i];
                continue;
            }
            if (c == ',') {
                finish();
                inLayer = false;
                continue;
            }
            if (c == ':' && inLayer) {
                finish();
                continue;
            }
            current += c;
            if (!inLayer && c == '=') {
                inLayer = current == "lowerdir=" || current == "upperdir=" || current == "workdir=";
                current.clear();
            }
        }
    }
    for (std::string& layer : layers) {
        while (layer.size() > 1 && layer.back() == '/')
            layer.pop_back();
    }
    return layers;
}

} // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text)
{
    std::vector<MountEntry> mounts;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);

        // id parent major:minor root mountpoint options [optional...] - type source super
        const std::vector<std::string_view> fields = SplitFields(line);
        const auto separator = std::find(fields.begin(), fields.end(), "-");
        if (fields.size() < 6 || separator - fields.begin() < 6 || fields.end() - separator < 3)
            continue;
        MountEntry entry;
        entry.device = fields[2];
        entry.root = DecodeOctalEscapes(fields[3]);
        entry.mountPoint = DecodeOctalEscapes(fields[4]);
        entry.fsType = DecodeOctalEscapes(separator[1]);
        entry.source = DecodeOctalEscapes(separator[2]);
        if (fields.end() - separator > 3)
            entry.superOptions = DecodeOctalEscapes(separator[3]);
        if (entry.mountPoint.empty() || entry.mountPoint.front() != '/')
            continue;
        mounts.push_back(std::move(entry));
    }
    return mounts;
}

bool IsPseudoFileSystem(std::string_view fsType)
{
    return std::find(std::begin(kPseudoFileSystems), std::end(kPseudoFileSystems), fsType) !=
           std::end(kPseudoFileSystems);
}

std::vector<Volume> SelectVolumes(const std::vector<MountEntry>& mounts,
                                  const std::map<std::string, std::string>& labels)
{
    std::vector<Volume> volumes;
    std::vector<const MountEntry*> kept;
    const std::vector<std::string> layers = LayerFolders(mounts);
    for (const MountEntry& mount : mounts) {
        // The root is where the user's files are, whatever it is made of.
        if (mount.mountPoint != "/") {
            if (IsPseudoFileSystem(mount.fsType) || IsRuntimePlace(mount.mountPoint))
                continue;
            const bool layer =
                std::any_of(layers.begin(), layers.end(), [&mount](const std::string& l) {
                    return IsSameOrBeneath(mount.mountPoint, l);
                });
            if (layer)
                continue;
        }
        // A second mount of a file system, or of a folder inside it, shows nothing
        // new. Not so on btrfs: its subvolumes are separate to the walk, which
        // stops at their edges, so only an exact repeat is left out there.
        const bool shown = std::any_of(kept.begin(), kept.end(), [&mount](const MountEntry* k) {
            if (k->device != mount.device)
                return false;
            if (mount.fsType == "btrfs")
                return k->root == mount.root;
            return IsSameOrBeneath(mount.root, k->root);
        });
        if (shown)
            continue;
        kept.push_back(&mount);

        Volume volume;
        volume.mountPoint = mount.mountPoint;
        volume.fsType = mount.fsType;
        volume.source = mount.source;
        if (const auto it = labels.find(mount.source); it != labels.end())
            volume.label = it->second;
        volume.entryText =
            volume.mountPoint + " [" + (volume.label.empty() ? volume.source : volume.label) + "]";
        volumes.push_back(std::move(volume));
    }
    return volumes;
}

std::vector<Volume> MountedVolumes()
{
    const Result<std::string> text = ReadFileLimited("/proc/self/mountinfo", 16 * 1024 * 1024);
    if (!text)
        return {};
    std::vector<MountEntry> mounts = ParseMountInfo(text.value());

    // Labels are links named after the label, pointing at the device node; device
    // sources are resolved the same way, so /dev/mapper names meet their dm node.
    namespace fs = std::filesystem;
    std::map<std::string, std::string> labelsByNode;
    std::error_code ec;
    for (fs::directory_iterator it("/dev/disk/by-label", ec), end; !ec && it != end;
         it.increment(ec)) {
        const fs::path node = fs::canonical(it->path(), ec);
        if (!ec)
            labelsByNode[node.string()] = DecodeHexEscapes(it->path().filename().string());
        ec.clear();
    }
    std::map<std::string, std::string> labels;
    for (const MountEntry& mount : mounts) {
        if (!mount.source.starts_with("/dev/"))
            continue;
        const fs::path node = fs::canonical(mount.source, ec);
        if (ec) {
            ec.clear();
            continue;
        }
        if (const auto it = labelsByNode.find(node.string()); it != labelsByNode.end())
            labels[mount.source] = it->second;
    }
    return SelectVolumes(mounts, labels);
}

} // namespace tessaloom
