#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tessaloom {

/// The path of the current index document as the windows share it. It holds the
/// text exactly as it was set: the index build sets the bare name "!ndex.htm",
/// which only gets a folder when it is used, so that a later change of the
/// process's current folder moves it along.
class IndexPathValue
{
public:
    const std::string& text() const { return m_text; }
    bool empty() const { return m_text.empty(); }
    void set(std::string text) { m_text = std::move(text); }
    void clear() { m_text.clear(); }

    /// The document this value names now, a relative value taken against
    /// `currentFolder`; empty when the value is empty.
    std::filesystem::path resolved(const std::filesystem::path& currentFolder) const;
    /// The same against the process's current folder.
    std::filesystem::path resolved() const;

private:
    std::string m_text;
};

/// Where `indexPath` points: itself when absolute, else `currentFolder` joined
/// with it. Empty for an empty value. Does not touch the file system.
std::filesystem::path ResolveIndexPath(std::string_view indexPath,
                                       const std::filesystem::path& currentFolder);

/// The process's current folder, or "/" when it cannot be read (deleted meanwhile).
std::filesystem::path ProcessCurrentFolder();

/// The program-wide current index document: empty at start, set by the index build,
/// the main window's browser command and the wizard's Open command.
inline IndexPathValue gblIndexPath;

} // namespace tessaloom
