#include "gui/drivelistbox.h"

#include "mainwindow/folderview.h"

#include <QSignalBlocker>

namespace tessaloom::gui {

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent)
{
    refreshVolumes();
}

void DriveListBox::refreshVolumes()
{
    setVolumes(MountedVolumes());
}

void DriveListBox::setVolumes(std::vector<Volume> volumes)
{
    const QSignalBlocker blocker(this);
    m_volumes = std::move(volumes);
    clear();
    for (const Volume& v : m_volumes)
        addItem(QString::fromStdString(v.entryText));
}

std::string DriveListBox::currentMountPoint() const
{
    const int i = currentIndex();
    if (i < 0 || static_cast<std::size_t>(i) >= m_volumes.size())
        return {};
    return m_volumes[static_cast<std::size_t>(i)].mountPoint;
}

void DriveListBox::showVolumeOf(const std::string& folder)
{
    const std::optional<std::size_t> volume = VolumeOfFolder(m_volumes, folder);
    if (!volume)
        return;
    const QSignalBlocker blocker(this);
    setCurrentIndex(static_cast<int>(*volume));
}

} // namespace tessaloom::gui
