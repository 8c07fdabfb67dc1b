#pragma once

#include <cstddef>
#include <string_view>

// The fixed texts of an entry line of the index document. The writer builds its
// cells from these, and the reader and the rewriter find the pieces of a cell by
// them, so a change to the document's cells reaches all three at once.
//
// Picture cell:
//   kPictureCellStart kLinkStart " TARGET kTargetEnd kPictureLinkEnd
//   kImageMarker " TARGET kImageEnd kLinkEnd kDateStart DATE kDateEnd
//   (a record's: kImageMarker " STORED-PICTURE kStoredImageEnd kLinkEnd <address line> ...)
// Any other cell:
//   kPageCellStart kLinkStart " TARGET " kTitleStart TITLE kLinkEnd <br>
//   kDateStart DATE kDateEnd
namespace tessaloom::entryline {

/// Begins every entry line, and no other line of the document.
inline constexpr std::string_view kPrefix = "<TD align=center";
inline constexpr std::string_view kPictureCellStart = "<TD align=center>";
inline constexpr std::string_view kPageCellStart = "<TD align=center width=150 height=150>";

/// The link; the target follows its opening double quote.
inline constexpr std::string_view kLinkStart = "<a href=";
inline constexpr std::size_t kTargetOffset = kLinkStart.size() + 1;
/// The target's closing double quote and what always follows it.
inline constexpr std::string_view kTargetEnd = "\" target=new";

inline constexpr std::string_view kPictureLinkEnd = " align=center alt=Image>";
/// Only a picture cell holds this.
inline constexpr std::string_view kImageMarker = "<img src=";
inline constexpr std::string_view kImageEnd = "\" width=150 height=150>";
/// The end of the picture of a record, drawn from the picture store: a copy kept
/// whole (a kind no decoder here reads, such as AVIF or SVG) keeps its own shape
/// in the square box instead of being squashed into it; a thumbnail is square.
inline constexpr std::string_view kStoredImageEnd =
    "\" width=150 height=150 style=\"object-fit:contain\">";

/// The title of a page cell lies between these two.
inline constexpr std::string_view kTitleStart = " target=new align=center>";
inline constexpr std::string_view kLinkEnd = "</a>";

/// The date text lies between these two; each entry line holds them once.
inline constexpr std::string_view kDateStart = "<br><font size=-1>";
inline constexpr std::string_view kDateEnd = "</font></TD>";

static_assert(kPictureCellStart.starts_with(kPrefix) && kPageCellStart.starts_with(kPrefix));
static_assert(kTitleStart.starts_with(kTargetEnd.substr(1)));

} // namespace tessaloom::entryline
