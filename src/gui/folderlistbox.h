#pragma once

#include <QIcon>
#include <QListWidget>

#include <optional>
#include <string>
#include <vector>

namespace tessaloom::gui {

/// The folder list (`Dir1`): the folders from the root down to the current one,
/// then the current folder's sub-folders. Its path is the current folder.
class FolderListBox final : public QListWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FolderListBox)

public:
    explicit FolderListBox(QWidget* parent = nullptr);

    const std::string& path() const { return m_path; }
    /// Moves to `folder` and announces `changed`. False, and nothing changes, when
    /// `folder` is not a folder that can be shown.
    bool setPath(const std::string& folder);
    /// Re-reads the current folder's sub-folders.
    void refresh();
    /// The current folder's regular files (not hidden, in the order read) from the
    /// last reading of its sub-folders, handed over once: for the file list, which
    /// then need not read the folder again. Nothing when that reading failed.
    std::optional<std::vector<std::string>> takeFiles();
    /// The folder of the highlighted row; empty when no row is highlighted.
    std::string highlightedPath() const;

signals:
    void changed();

protected:
    // A single click enters a folder, so the second click of a double click
    // would land on whatever row then lies under the pointer: it is swallowed.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool isSecondClick(const QMouseEvent& event) const;

    std::string m_path;
    std::optional<std::vector<std::string>> m_files;
    QIcon m_openIcon;
    QIcon m_closedIcon;
    quint64 m_lastPressTime = 0;
    QPoint m_lastPressPos;
    bool m_pressed = false;
    bool m_swallowRelease = false;
};

} // namespace tessaloom::gui
