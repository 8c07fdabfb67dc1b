#include "gui/folderlistbox.h"

#include "gui/windowkit.h"
#include "mainwindow/folderview.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QStyle>

#include <filesystem>
#include <utility>

namespace tessaloom::gui {

namespace {

// Paths are kept as the file system's bytes; only their display is decoded.
constexpr int kPathRole = Qt::UserRole;

} // namespace

FolderListBox::FolderListBox(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
}

bool FolderListBox::setPath(const std::string& folder)
{
    const std::string clean = NormalFolderPath(folder);
    std::error_code ec;
    if (clean.empty() || !std::filesystem::is_directory(clean, ec))
        return false;
    m_path = clean;
    refresh();
    emit changed();
    return true;
}

void FolderListBox::refresh()
{
    const QSignalBlocker blocker(this);
    clear();
    // Looking the icons up in the desktop's theme costs a few milliseconds each
    // time: once per list is enough, until the style changes.
    if (m_openIcon.isNull() || m_closedIcon.isNull()) {
        m_openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
        m_closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    }
    const QIcon& openIcon = m_openIcon;
    const QIcon& closedIcon = m_closedIcon;
    FolderReading reading = ReadFolderView(m_path);
    m_files = std::move(reading.files);
    for (const FolderRow& row : reading.rows) {
        auto* item = new QListWidgetItem(
            row.open ? openIcon : closedIcon,
            QString(row.depth * 2, QLatin1Char(' ')) + PathToText(row.name), this);
        item->setData(kPathRole, QByteArray::fromStdString(row.path));
        if (row.open && row.path == m_path)
            setCurrentItem(item);
    }
    if (currentItem())
        scrollToItem(currentItem(), QAbstractItemView::PositionAtTop);
}

bool FolderListBox::isSecondClick(const QMouseEvent& event) const
{
    return m_pressed &&
           event.timestamp() - m_lastPressTime <
               static_cast<quint64>(QApplication::doubleClickInterval()) &&
           (event.position().toPoint() - m_lastPressPos).manhattanLength() <=
               QApplication::startDragDistance();
}

void FolderListBox::mousePressEvent(QMouseEvent* event)
{
    // Some platforms send the second press of a double click as a press, others
    // only as a double click.
    if (event->button() == Qt::LeftButton && isSecondClick(*event)) {
        m_swallowRelease = true;
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        m_lastPressTime = event->timestamp();
        m_lastPressPos = event->position().toPoint();
    }
    QListWidget::mousePressEvent(event);
}

void FolderListBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QListWidget::mouseDoubleClickEvent(event);
        return;
    }
    m_swallowRelease = true;
    event->accept();
}

void FolderListBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_swallowRelease) {
        m_swallowRelease = false;
        event->accept();
        return;
    }
    QListWidget::mouseReleaseEvent(event);
}

void FolderListBox::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::StyleChange) {
        m_openIcon = QIcon();
        m_closedIcon = QIcon();
    }
    QListWidget::changeEvent(event);
}

std::optional<std::vector<std::string>> FolderListBox::takeFiles()
{
    return std::exchange(m_files, std::nullopt);
}

std::string FolderListBox::highlightedPath() const
{
    const QListWidgetItem* item = currentItem();
    return item ? item->data(kPathRole).toByteArray().toStdString() : std::string();
}

} // namespace tessaloom::gui
