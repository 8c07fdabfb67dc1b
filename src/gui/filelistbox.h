#pragma once

#include <QListView>

#include <string>
#include <vector>

namespace tessaloom::gui {

class FileNameModel;

/// The file list (`File1`): the regular files of one folder that match a pattern,
/// sorted without regard to case. A cache folder may hold many thousand files, so
/// the rows are a model over the names that decodes a name only when it is drawn.
class FileListBox final : public QListView
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
    /// As `setFolder`, with the folder's regular files (any order, hidden ones
    /// left out) already read by the caller, so the folder is not read again.
    void setFolder(const std::string& folder, std::vector<std::string> regularFiles);
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
    /// The rows shown.
    int count() const;

private:
    std::string m_folder;
    std::string m_pattern = "*.*";
    std::vector<std::string> m_names;
    bool m_rowsBehind = false; // the rows do not show m_names yet
    FileNameModel* m_rows = nullptr;
};

} // namespace tessaloom::gui
