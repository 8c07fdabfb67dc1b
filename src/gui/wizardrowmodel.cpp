#include "gui/wizardrowmodel.h"

#include "gui/windowkit.h"

#include <utility>

namespace tessaloom::gui {

namespace {

// More separate stretches than this are removed with one reset of the list
// instead of one removal each, which would move the rows behind every stretch.
constexpr std::size_t kMaxPiecewiseRemovals = 32;

} // namespace

int WizardRowModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int WizardRowModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant WizardRowModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() ||
        static_cast<std::size_t>(index.row()) >= m_rows.size())
        return {};
    const WizardRow& row = m_rows[static_cast<std::size_t>(index.row())];
    if (index.column() == DisplayColumn)
        return Utf8ToText(row.displayText);
    return PathToText(row.targetPath);
}

void WizardRowModel::setRows(WizardRows rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void WizardRowModel::removeDeleted(const DeleteOutcome& outcome)
{
    const std::vector<std::size_t>& removed = outcome.removedRows;
    if (removed.empty())
        return;
    // Stretches of neighbouring rows, last first so earlier numbers stay valid.
    std::vector<std::pair<std::size_t, std::size_t>> stretches;
    for (const std::size_t row : removed) {
        if (!stretches.empty() && stretches.back().second + 1 == row)
            stretches.back().second = row;
        else
            stretches.emplace_back(row, row);
    }
    if (stretches.size() > kMaxPiecewiseRemovals) {
        beginResetModel();
        RemoveDeletedRows(m_rows, outcome);
        endResetModel();
        return;
    }
    for (auto it = stretches.rbegin(); it != stretches.rend(); ++it) {
        beginRemoveRows({}, static_cast<int>(it->first), static_cast<int>(it->second));
        m_rows.erase(it->first, it->second + 1);
        endRemoveRows();
    }
}

} // namespace tessaloom::gui
