#pragma once

#include "platform/localeformats.h"
#include "platform/result.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tessaloom {

/// Name of the index document written into an indexed folder.
inline constexpr std::string_view kIndexDocumentName = "!ndex.htm";

/// Address of the product page linked from the document's footer.
inline constexpr std::string_view kProductPageAddress = "http://www.tessaloom.example/";

/// One listed file of an index.
struct IndexEntry
{
    /// Last-modified local time as "yyyy/mm/dd hh:nn:ss" (24-hour).
    std::string dateKey;
    /// The title found in the file, or a kind label (those begin with blanks).
    std::string label;
    /// The file's bare name, in its real letter case.
    std::string fileName;
    /// Only for a browser's cache record read as such: the address its body came
    /// from, shown in the cell, and where its picture was stored for the page to
    /// draw. Both empty: the cell is exactly as for any cached file.
    std::string url{};
    std::string pictureSource{};
    /// Read as a browser's cache record: the label is the text a browser shows,
    /// in UTF-8, references already decoded. A page holding such an entry is
    /// written in UTF-8 and says so; one without is exactly as before.
    bool fromRecord = false;
};

/// Everything written into a document besides its entries.
struct IndexDocumentHeader
{
    std::string folder;  // as given to the run; a root folder already ends in "/"
    std::string pattern; // file pattern of the run
    int imagesFiltered = 0;
    int binaryFiltered = 0;
    LocalDateTime created;
    LocaleFormats formats;
};

/// The whole document, every line ended by CR LF.
std::string BuildIndexDocument(const IndexDocumentHeader& header,
                               const std::vector<IndexEntry>& entries);

/// Builds the document and puts it in place as folder/"!ndex.htm" atomically: an
/// older document is replaced only by a complete new one. Fails with a readable
/// reason when it cannot be written.
Result<void> WriteIndexDocument(const std::filesystem::path& folder,
                                const IndexDocumentHeader& header,
                                const std::vector<IndexEntry>& entries);

/// The one cell line of an entry (without CR LF). A cached file's cell links to the
/// file and, for a picture, draws it. A record's cell links to the record too (so
/// the View/Delete Wizard lists and deletes it), draws its picture from
/// `pictureSource` when there is one, and shows its address as the cell's tooltip
/// and in a small line above the date.
std::string EntryCellLine(const IndexEntry& entry, const LocaleFormats& formats);

/// "yyyy/mm/dd hh:nn:ss" for a local date and time.
std::string MakeDateKey(const LocalDateTime& dt);

/// Date text of a cell: short date, two blanks, the medium time without its
/// leading "0", lower-cased ("12/7/2026  1:46 pm"). Empty for a malformed key.
std::string DateTextFromKey(std::string_view dateKey, const LocaleFormats& formats);

/// A file name as it is written inside the double quotes of a link. Blanks and
/// bytes from 0x80 up stay as they are; control bytes, '"', "#", "%", "&", ",",
/// ":", "<", ">", "?" and "\" are written "%XX" (upper-case hex), so that a name
/// can neither end the link or the line, nor split the entry for the index
/// reader, nor read as a scheme, query or fragment to the browser. Browsers
/// decode these in a link to the same name, and DecodeLinkTarget gives the name
/// back.
std::string EncodeLinkTarget(std::string_view fileName);

/// Undoes EncodeLinkTarget: every "%" followed by two hexadecimal digits becomes
/// that byte; anything else is kept as it is.
std::string DecodeLinkTarget(std::string_view link);

/// Text as written into the page: "<" as "&lt;" and ">" as "&gt;", so that a
/// title, folder or pattern cannot put markup or script into the index page. "&"
/// stays as it is (titles keep the references of their own pages).
std::string EscapeMarkup(std::string_view text);

/// An address as text and as a double-quoted attribute value: "&", "<", ">", '"'
/// and "," as character references (a comma would split the entry for the index
/// reader), control bytes as "%XX". Longer than `maxChars`, it is cut there and
/// ends in "...".
std::string EscapeAddress(std::string_view url, std::size_t maxChars);

} // namespace tessaloom
