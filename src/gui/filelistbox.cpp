#include "gui/filelistbox.h"

#include "platform/filelister.h"
#include "platform/textcodec.h"
#include "platform/wildcard.h"

#include <QFile>

#include <algorithm>

namespace tessaloom::gui {

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
}

void FileListBox::setFolder(const std::string& folder)
{
    m_folder = folder;
    refresh();
}

void FileListBox::setPattern(const std::string& pattern)
{
    m_pattern = pattern;
    refresh();
}

void FileListBox::refresh()
{
    readNames();
    showNames();
}

void FileListBox::readNames()
{
    std::vector<std::string> names;
    if (!m_folder.empty()) {
        // A folder that cannot be read shows no files, as an empty one does.
        Result<std::vector<std::string>> listed = ListMatchingFiles(m_folder, m_pattern);
        if (listed)
            names = std::move(listed).value();
    }
    // A cache folder of many thousand files costs a noticeable time to put into
    // rows; a reading that found the same names leaves them.
    if (names != m_names) {
        m_names = std::move(names);
        m_rowsBehind = true;
    }
}

void FileListBox::addWrittenFile(const std::string& name)
{
    if (name.empty() || name.front() == '.' || !MatchesPattern(name, m_pattern))
        return;
    // The list's own order: without regard to case, ties by bytes.
    const auto at = std::lower_bound(
        m_names.begin(), m_names.end(), name,
        [](const std::string& listed, const std::string& n) { return ICompare(listed, n) < 0; });
    if (at != m_names.end() && *at == name)
        return;
    m_names.insert(at, name);
    m_rowsBehind = true;
}

void FileListBox::showNames()
{
    if (!m_rowsBehind && count() == static_cast<int>(m_names.size()))
        return;
    m_rowsBehind = false;
    clear();
    QStringList shown;
    shown.reserve(static_cast<qsizetype>(m_names.size()));
    for (const std::string& name : m_names)
        shown.append(QFile::decodeName(QByteArray::fromStdString(name)));
    addItems(shown);
}

} // namespace tessaloom::gui
