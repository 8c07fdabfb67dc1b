#include "gui/filelistbox.h"

#include "gui/windowkit.h"
#include "platform/filelister.h"
#include "platform/textcodec.h"
#include "platform/wildcard.h"

#include <QAbstractListModel>

#include <algorithm>

namespace tessaloom::gui {

/// The rows of a `FileListBox`: the names it last showed, kept as the file system
/// spells them and decoded for display row by row, when the view asks.
class FileNameModel final : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    void show(const std::vector<std::string>& names)
    {
        beginResetModel();
        m_names = names;
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_names.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= rowCount() ||
            (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::AccessibleTextRole))
            return {};
        return PathToText(m_names[static_cast<std::size_t>(index.row())]);
    }

private:
    std::vector<std::string> m_names;
};

FileListBox::FileListBox(QWidget* parent) : QListView(parent), m_rows(new FileNameModel(this))
{
    setModel(m_rows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
}

int FileListBox::count() const
{
    return m_rows->rowCount();
}

void FileListBox::setFolder(const std::string& folder)
{
    m_folder = folder;
    refresh();
}

void FileListBox::setFolder(const std::string& folder, std::vector<std::string> regularFiles)
{
    m_folder = folder;
    std::erase_if(regularFiles,
                  [this](const std::string& name) { return !MatchesPattern(name, m_pattern); });
    SortNamesForDisplay(regularFiles);
    if (regularFiles != m_names) {
        m_names = std::move(regularFiles);
        m_rowsBehind = true;
    }
    showNames();
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
    // A reading that found the same names leaves the rows as they are.
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
    m_rows->show(m_names);
}

} // namespace tessaloom::gui
