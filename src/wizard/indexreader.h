#pragma once

#include "wizard/indexfolder.h"
#include "wizard/indexpath.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaloom {

/// Reading stops at this field: the field that reaches the count is not examined.
inline constexpr std::size_t kIndexFieldLimit = 250000;
/// A longer field is passed over unexamined. Entry lines the program writes stay
/// far below this (a name of 255 bytes written twice, a title of 87 characters),
/// so only a damaged or crafted document has them; the bound keeps such a
/// document from taking memory without end.
inline constexpr std::size_t kMaxIndexFieldBytes = 16 * 1024;
/// Reading also stops once the rows hold this much text.
inline constexpr std::size_t kMaxIndexListBytes = 256 * 1024 * 1024;
/// No more of a document is read than this, nor is a longer one rewritten. The
/// program's own documents stay far below it (250,000 entries take under 100 MB);
/// it keeps a huge or sparse file from keeping the reader busy for minutes.
inline constexpr std::size_t kMaxIndexDocumentBytes = 256 * 1024 * 1024;

/// One row of the wizard's list and its hidden companion list: views into the
/// texts of the `WizardRows` that holds it.
struct WizardRow
{
    /// Date text padded to 25 characters, a tab, the decoded title (UTF-8).
    std::string_view displayText;
    /// Full path of the listed file.
    std::string_view targetPath;
};

/// The rows of a read, their texts kept together in a few large blocks that
/// never move: a row's views stay valid while rows are added or removed and
/// when the list itself is moved, and a hundred thousand rows cost a handful of
/// allocations rather than two each.
class WizardRows
{
public:
    using const_iterator = std::vector<WizardRow>::const_iterator;

    WizardRows() = default;
    WizardRows(WizardRows&&) noexcept = default;
    WizardRows& operator=(WizardRows&&) noexcept = default;
    // A copy would have to copy the texts too, or hold views into another list.
    WizardRows(const WizardRows&) = delete;
    WizardRows& operator=(const WizardRows&) = delete;

    std::size_t size() const { return m_rows.size(); }
    bool empty() const { return m_rows.empty(); }
    const WizardRow& operator[](std::size_t row) const { return m_rows[row]; }
    const WizardRow& back() const { return m_rows.back(); }
    const_iterator begin() const { return m_rows.begin(); }
    const_iterator end() const { return m_rows.end(); }

    /// Adds a row; its texts are copied into the list's own blocks.
    void add(std::string_view displayText, std::string_view targetPath)
    {
        add(displayText, targetPath, {});
    }
    /// The same with a target path of two pieces, `folderPrefix` then `name`.
    void add(std::string_view displayText, std::string_view folderPrefix, std::string_view name);
    /// Room for `rows` rows without moving the row table again.
    void reserve(std::size_t rows);
    /// Removes the rows from `first` up to, not including, `last`.
    void erase(std::size_t first, std::size_t last);
    /// Removes the rows numbered in `ascending` (ascending, without repeats).
    void remove(const std::vector<std::size_t>& ascending);
    /// What the list holds: the texts of its rows and the rows themselves. The
    /// texts of removed rows still count until the list is emptied.
    std::size_t bytes() const { return m_textBytes + m_rows.size() * sizeof(WizardRow); }
    void clear();

private:
    // Gives a block back to the system the way it was had.
    struct BlockRelease
    {
        std::size_t mappedSize = 0; // 0 for a block from the heap
        void operator()(char* block) const;
    };
    using Block = std::unique_ptr<char, BlockRelease>;
    static Block newBlock(std::size_t size);
    char* allocate(std::size_t size);

    std::vector<Block> m_blocks;
    char* m_free = nullptr;     // the unused end of the newest block
    std::size_t m_freeSize = 0; // its length
    std::size_t m_nextBlock = 0;
    std::size_t m_textBytes = 0;
    std::vector<WizardRow> m_rows;
};

enum class IndexListStatus
{
    Loaded,
    OpenDialogNeeded, // no document named and none in the main window's folder
    Unreadable,       // the document could not be read; `error` says why
};

enum class IndexReadEnd
{
    EndOfDocument,
    FieldLimit, // kIndexFieldLimit fields were counted
    SizeLimit,  // the rows reached kMaxIndexListBytes
    ByteLimit,  // kMaxIndexDocumentBytes of the document were read
};

struct IndexList
{
    IndexListStatus status = IndexListStatus::Loaded;
    std::filesystem::path document; // the document that was read
    FolderIdentity folder;          // the folder its rows were tested in
    WizardRows rows;
    IndexReadEnd end = IndexReadEnd::EndOfDocument;
    std::optional<Error> error; // set when Unreadable
};

/// The raw pieces cut out of an entry line (views into the line).
struct EntryLineFields
{
    std::string_view target; // as written, still percent-encoded
    std::string_view title;  // blanks trimmed, references not yet decoded
    std::string_view dateText;
    bool image = false;
};

/// The link target of a line, still percent-encoded: from 9 characters after the
/// first "<a href=" (past its opening double quote) to just before the first
/// double quote followed by " target=new". False when either is missing or they
/// are out of order.
bool CutLinkTarget(std::string_view line, std::string_view& target);

/// Cuts an entry line into its pieces. False when the line does not begin with
/// "<TD align=center" (letter case counts) or lacks a marker or has them out of
/// order; such a line is passed over.
bool CutEntryLine(std::string_view line, EntryLineFields& fields);

/// The title as shown: decoded for display (UTF-8 when valid, else Windows-1252),
/// then its character references replaced in the fixed order, each replacement
/// repeated until none is left; of the numeric references only the first one
/// found is decoded.
std::string DecodeTitle(std::string_view rawTitle);

/// "date text" (one blank in front when it has exactly 17 characters), blanks
/// up to 25 characters, a tab, the decoded title.
std::string MakeDisplayText(std::string_view rawDateText, std::string_view decodedTitle);
/// The same, appended to `text`.
void AppendDisplayText(std::string& text, std::string_view rawDateText,
                       std::string_view decodedTitle);

/// Splits a document into fields at commas and line ends (CR LF, LF or CR), fed
/// piece by piece so that a document is never held in memory whole.
class IndexFieldSplitter
{
public:
    using FieldFn = std::function<void(std::string_view field)>;

    /// Feeds the next bytes. False once the field limit was reached; the rest of
    /// the input is then ignored.
    bool feed(std::string_view bytes, const FieldFn& onField);
    /// Ends the input: a last field without line end is still a field.
    void finish(const FieldFn& onField);
    bool limitReached() const { return m_limitReached; }

private:
    void endField(const FieldFn& onField);

    std::string m_field;
    std::size_t m_count = 0;
    bool m_overlong = false;
    bool m_afterCr = false;
    bool m_limitReached = false;
};

/// Lists the entries of a document's text. `holdsFile` says whether a plain file
/// name (already decoded, never hidden) names a file that may be listed;
/// `folder` is joined with it to make the target path. Used by the readers
/// below and by tests without a file system.
IndexList ReadIndexText(std::string_view text, const std::filesystem::path& folder,
                        const std::function<bool(std::string_view name)>& holdsFile);

/// Reads the document at `document`: every entry line whose file is a regular
/// file directly in the document's own folder becomes a row.
IndexList ReadIndexDocument(const std::filesystem::path& document);

/// The wizard's read: when `indexPath` is empty it takes "!ndex.htm" of
/// `mainWindowFolder` if there is one (and keeps it in `indexPath`), else tells
/// the caller to show the Open dialog. A relative `indexPath` is taken against
/// `processFolder`.
IndexList FindAndReadIndex(IndexPathValue& indexPath, const std::filesystem::path& mainWindowFolder,
                           const std::filesystem::path& processFolder);

/// The same against the process's current folder.
IndexList FindAndReadIndex(IndexPathValue& indexPath,
                           const std::filesystem::path& mainWindowFolder);

} // namespace tessaloom
