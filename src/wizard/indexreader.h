#pragma once

#include "wizard/indexfolder.h"
#include "wizard/indexpath.h"

#include <cstddef>
#include <filesystem>
#include <functional>
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

/// One row of the wizard's list and its hidden companion list.
struct WizardRow
{
    /// Date text padded to 25 characters, a tab, the decoded title (UTF-8).
    std::string displayText;
    /// Full path of the listed file.
    std::string targetPath;
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
    std::vector<WizardRow> rows;
    IndexReadEnd end = IndexReadEnd::EndOfDocument;
    std::string error;
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
IndexList LoadIndexList(IndexPathValue& indexPath, const std::filesystem::path& mainWindowFolder,
                        const std::filesystem::path& processFolder);

/// The same against the process's current folder.
IndexList LoadIndexList(IndexPathValue& indexPath, const std::filesystem::path& mainWindowFolder);

} // namespace tessaloom
