#pragma once

#include "wizard/deletefiles.h"
#include "wizard/indexreader.h"

#include <QAbstractTableModel>

namespace tessaloom::gui {

/// The wizard's rows: column 0 is what `LstDisplay` shows, column 1 the target path
/// that the hidden `List2` holds. One store for both keeps them filled, cleared and
/// shortened together, and a list of a hundred thousand rows costs no widget items.
class WizardRowModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WizardRowModel)

public:
    enum Column
    {
        DisplayColumn = 0,
        TargetColumn = 1
    };

    explicit WizardRowModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    const WizardRows& rows() const { return m_rows; }
    /// Takes over the rows and their texts as they are, without a copy.
    void setRows(WizardRows rows);
    /// Removes the rows whose files a delete run took away.
    void removeDeleted(const DeleteOutcome& outcome);

private:
    WizardRows m_rows;
};

} // namespace tessaloom::gui
