#pragma once

#include "wizard/indexreader.h"
#include "wizard/indexrewrite.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tessaloom {

/// How the confirmation dialog "Delete?" was left.
enum class ConfirmDeleteAnswer
{
    Yes,
    No,
    Dismissed, // Esc or the window's close box: No, and the check box is not looked at
};

struct ConfirmDeleteReply
{
    ConfirmDeleteAnswer answer = ConfirmDeleteAnswer::Dismissed;
    bool doNotShowAgain = false; // "&Do not show this dialogue again." ticked
};

/// Shows the confirmation dialog and returns how it was left.
using ConfirmDeleteFn = std::function<ConfirmDeleteReply()>;

/// What a delete run did and what the window must do with its two lists.
struct DeleteOutcome
{
    bool confirmed = false; // the run went on past the confirmation
    /// The dialog was left by Yes or No with "do not show again" ticked: the
    /// caller writes "False" under "Confirm Deletions" and keeps the setting off
    /// in memory. The dialog itself stores nothing.
    bool storeConfirmDeletionsOff = false;

    std::size_t filesDeleted = 0;
    /// Rows (old numbering, ascending) to remove from both lists: their files are
    /// gone now.
    std::vector<std::size_t> removedRows;
    /// Rows whose files are still there (they could not be deleted, or are not
    /// plain files of the index's folder), each with the reason.
    std::vector<std::pair<std::size_t, Error>> notDeleted;
    /// The row (new numbering) to select once the rows are removed; unset when
    /// the selection stays as it is or the list is empty.
    std::optional<std::size_t> selectRow;

    bool rewritten = false; // the index document was rewritten
    /// How the rewrite went, when it was tried.
    std::optional<Result<RewriteSummary>> rewrite;
};

/// The wizard's delete run over `rows` read from `document` (already resolved) in
/// the folder `readFrom`. While `confirmDeletions` is on it first calls `confirm`
/// and goes on only after Yes. The selected rows' files are deleted in ascending
/// row order, through the document's folder and only when they are plain files of
/// it. The document is then rewritten without the lines of files that are gone.
/// When the document's folder is no longer `readFrom` (its path was pointed
/// elsewhere meanwhile), nothing is deleted or rewritten and every selected row
/// stays, with the reason. With an empty list the run ends after the
/// confirmation, deleting and rewriting nothing.
/// The pictures kept under `cacheHome` for the files that are gone go with them.
DeleteOutcome DeleteSelectedFiles(const std::filesystem::path& document,
                                  const FolderIdentity& readFrom, std::span<const WizardRow> rows,
                                  std::vector<std::size_t> selectedRows, bool confirmDeletions,
                                  const ConfirmDeleteFn& confirm,
                                  const std::filesystem::path& cacheHome = {});

/// Removes the outcome's rows from `rows`, as the window does with its lists.
void RemoveDeletedRows(std::vector<WizardRow>& rows, const DeleteOutcome& outcome);
void RemoveDeletedRows(WizardRows& rows, const DeleteOutcome& outcome);

} // namespace tessaloom
