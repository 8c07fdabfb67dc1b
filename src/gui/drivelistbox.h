#pragma once

#include "discovery/mountedvolumes.h"

#include <QComboBox>

#include <string>
#include <vector>

namespace tessaloom::gui {

/// The volume list (`Drv_DriveList`): the mounted real volumes, one entry each,
/// "mount point [label]".
class DriveListBox final : public QComboBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DriveListBox)

public:
    explicit DriveListBox(QWidget* parent = nullptr);

    /// Reads the mounted volumes again.
    void refreshVolumes();
    /// Replaces the volumes (tests).
    void setVolumes(std::vector<Volume> volumes);
    const std::vector<Volume>& volumes() const { return m_volumes; }

    /// The chosen volume's mount point; empty when there is none.
    std::string currentMountPoint() const;
    /// Shows the volume that holds `folder`, without announcing a change.
    void showVolumeOf(const std::string& folder);

private:
    std::vector<Volume> m_volumes;
};

} // namespace tessaloom::gui
