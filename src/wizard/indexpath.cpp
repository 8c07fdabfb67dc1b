#include "wizard/indexpath.h"

#include <system_error>

namespace tessaloom {

std::filesystem::path ResolveIndexPath(std::string_view indexPath,
                                       const std::filesystem::path& currentFolder)
{
    if (indexPath.empty())
        return {};
    std::filesystem::path path(indexPath);
    if (path.is_absolute())
        return path;
    return currentFolder / path;
}

std::filesystem::path ProcessCurrentFolder()
{
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::current_path(ec);
    if (ec || folder.empty())
        return "/";
    return folder;
}

std::filesystem::path IndexPathValue::resolved(const std::filesystem::path& currentFolder) const
{
    return ResolveIndexPath(m_text, currentFolder);
}

std::filesystem::path IndexPathValue::resolved() const
{
    if (m_text.empty())
        return {};
    return ResolveIndexPath(m_text, ProcessCurrentFolder());
}

} // namespace tessaloom
