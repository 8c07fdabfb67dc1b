#include "gui/filelistbox.h"

#include "platform/filelister.h"

#include <QFile>

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
    m_names.clear();
    if (!m_folder.empty())
        ListMatchingFiles(m_folder, m_pattern, m_names);
    clear();
    QStringList shown;
    shown.reserve(static_cast<qsizetype>(m_names.size()));
    for (const std::string& name : m_names)
        shown.append(QFile::decodeName(QByteArray::fromStdString(name)));
    addItems(shown);
}

} // namespace tessaloom::gui
