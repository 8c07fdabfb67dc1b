#pragma once

#include <QListWidget>

#include <string>

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

private:
    bool isSecondClick(const QMouseEvent& event) const;

    std::string m_path;
    quint64 m_lastPressTime = 0;
    QPoint m_lastPressPos;
    bool m_pressed = false;
    bool m_swallowRelease = false;
};

} // namespace tessaloom::gui
