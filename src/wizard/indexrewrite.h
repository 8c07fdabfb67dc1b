#pragma once

#include "wizard/indexfolder.h"

#include <cstddef>
#include <filesystem>
#include <string>

namespace tessaloom {

struct RewriteSummary
{
    std::size_t linesDropped = 0;
};

/// Rewrites the index document after files were deleted: every line is copied and
/// ended by CR LF, except a line whose entries (its pieces between commas and
/// CRs that begin "<a href=" or "<TD align=center") all name files gone from the
/// document's folder. The new text goes to a temporary file that replaces the
/// document only once it is complete; on any failure, and for a document too
/// large to read (kMaxIndexDocumentBytes), the document stays exactly as it was.
/// With `expected`, a document whose folder is no longer that one is left alone.
/// A failure says why the document was left as it was.
Result<RewriteSummary> RewriteIndexDocument(const std::filesystem::path& document,
                                            const FolderIdentity* expected = nullptr);

} // namespace tessaloom
