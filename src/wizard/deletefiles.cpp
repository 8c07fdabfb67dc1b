#include "wizard/deletefiles.h"

#include "indexer/records/thumbnailfolder.h"

#include "wizard/indexfolder.h"
#include "wizard/indexpath.h"

#include <algorithm>

namespace tessaloom {

namespace {

// The bare name of a row's target when it is a file directly in `folder`, as the
// reader made it; empty for anything else, which is then never deleted.
std::string NameInFolder(const IndexFolder& folder, std::string_view targetPath)
{
    std::string name = std::filesystem::path(targetPath).filename().string();
    if (!IsPlainFileName(name) || folder.entryPath(name) != targetPath)
        return {};
    return name;
}

std::optional<std::size_t> RowAfter(std::size_t lastVisited, std::size_t rowCount,
                                    const std::vector<std::size_t>& removed)
{
    const std::size_t newCount = rowCount - removed.size();
    if (newCount == 0)
        return std::nullopt;
    const auto removedUpTo = static_cast<std::size_t>(
        std::upper_bound(removed.begin(), removed.end(), lastVisited) - removed.begin());
    // The row that followed the last one deleted, now moved up; the new last row
    // when nothing followed it.
    return std::min(lastVisited + 1 - removedUpTo, newCount - 1);
}

} // namespace

DeleteOutcome DeleteSelectedFiles(const std::filesystem::path& document,
                                  const FolderIdentity& readFrom, std::span<const WizardRow> rows,
                                  std::vector<std::size_t> selectedRows, bool confirmDeletions,
                                  const ConfirmDeleteFn& confirm,
                                  const std::filesystem::path& cacheHome)
{
    DeleteOutcome outcome;
    if (confirmDeletions) {
        const ConfirmDeleteReply reply = confirm ? confirm() : ConfirmDeleteReply{};
        if (reply.answer != ConfirmDeleteAnswer::Dismissed && reply.doNotShowAgain)
            outcome.storeConfirmDeletionsOff = true;
        if (reply.answer != ConfirmDeleteAnswer::Yes)
            return outcome;
    }
    outcome.confirmed = true;
    if (rows.empty())
        return outcome;

    std::sort(selectedRows.begin(), selectedRows.end());
    selectedRows.erase(std::unique(selectedRows.begin(), selectedRows.end()), selectedRows.end());
    selectedRows.erase(std::lower_bound(selectedRows.begin(), selectedRows.end(), rows.size()),
                       selectedRows.end());

    // Made absolute the way the reader makes it, so the rows' paths compare equal.
    const std::filesystem::path absolute =
        document.is_absolute() ? document : ProcessCurrentFolder() / document;
    const IndexFolder folder(absolute.parent_path());
    // The names were tested in the folder seen at reading; the question may have
    // stood long enough for its path to be made to lead elsewhere. Every delete
    // goes through this one open folder, so checking it once is enough.
    if (folder.isOpen() && !folder.identity().sameAs(readFrom)) {
        for (const std::size_t row : selectedRows)
            outcome.notDeleted.emplace_back(
                row, Error{kFolderReplaced, FolderReplacedText(folder.path())});
        return outcome;
    }
    for (const std::size_t row : selectedRows) {
        const std::string name = NameInFolder(folder, rows[row].targetPath);
        if (name.empty()) {
            outcome.notDeleted.emplace_back(
                row, Error{kNotInFolder, std::string(rows[row].targetPath) +
                                             ": not a file of the index's folder"});
            continue;
        }
        const Result<void> removed = folder.removeFile(name);
        if (removed) {
            ++outcome.filesDeleted;
            outcome.removedRows.push_back(row);
            records::RemoveThumbnailsOf(cacheHome, absolute.parent_path(), name);
        } else if (folder.isGone(name)) {
            // Gone already (deleted by another program): its row goes too.
            outcome.removedRows.push_back(row);
            records::RemoveThumbnailsOf(cacheHome, absolute.parent_path(), name);
        } else {
            outcome.notDeleted.emplace_back(row, removed.error());
        }
    }
    if (!selectedRows.empty() && !outcome.removedRows.empty())
        outcome.selectRow = RowAfter(selectedRows.back(), rows.size(), outcome.removedRows);

    outcome.rewrite = RewriteIndexDocument(absolute, &readFrom);
    outcome.rewritten = outcome.rewrite->ok();
    return outcome;
}

void RemoveDeletedRows(std::vector<WizardRow>& rows, const DeleteOutcome& outcome)
{
    std::size_t next = 0; // position in outcome.removedRows
    std::size_t kept = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (next < outcome.removedRows.size() && outcome.removedRows[next] == i) {
            ++next;
            continue;
        }
        if (kept != i)
            rows[kept] = rows[i];
        ++kept;
    }
    rows.resize(kept);
}

void RemoveDeletedRows(WizardRows& rows, const DeleteOutcome& outcome)
{
    rows.remove(outcome.removedRows);
}

} // namespace tessaloom
