#pragma once

#include <QListWidget>

#include <string>
#include <vector>

namespace tessaloom::gui {

/// The file list (`File1`): the regular files of one folder that match a pattern,
/// sorted without regard to case.
class FileListBox final : public QListWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileListBox)

public:
    explicit FileListBox(QWidget* parent = nullptr);

    const std::string& folder() const { return m_folder; }
    const std::string& pattern() const { return m_pattern; }
    /// The names listed, as the file system spells them.
    const std::vector<std::string>& names() const { return m_names; }

    void setFolder(const std::string& folder);
    void setPattern(const std::string& pattern);
    /// Takes the pattern for the next reading without reading the folder now: for
    /// a change of folder about to follow, which reads it anyway.
    void takePattern(const std::string& pattern) { m_pattern = pattern; }
    /// Reads the folder again.
    void refresh();

    /// Reads the folder again into `names()` but leaves the rows as they are, for
    /// a caller that shows the list only later (an index build, with the window
    /// hidden): `showNames` then puts the rows in step, once.
    void readNames();
    /// A file the program has just written into the folder: listed in its place,
    /// as a new reading would list it, when the pattern takes it. The rows follow
    /// at `showNames`.
    void addWrittenFile(const std::string& name);
    /// Makes the rows show `names()`; nothing to do when they already do.
    void showNames();

private:
    std::string m_folder;
    std::string m_pattern = "*.*";
    std::vector<std::string> m_names;
    bool m_rowsBehind = false; // the rows do not show m_names yet
};

} // namespace tessaloom::gui
