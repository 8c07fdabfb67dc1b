#pragma once

#include "indexer/examination.h"
#include "indexer/records/cacherecord.h"
#include "indexer/records/pagetitle.h"
#include "platform/callbacks.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tessaloom::records {

/// Kind labels for what only a record's media type tells apart. Like the other
/// kind labels they begin with blanks.
inline constexpr std::string_view kStyleSheetLabel = "     Style Sheet";
inline constexpr std::string_view kFontLabel = "     Font";
inline constexpr std::string_view kVideoLabel = "        Video";
inline constexpr std::string_view kDataLabel = "     Data";

enum class MediaClass
{
    Page,
    Picture,
    Script,
    StyleSheet,
    Font,
    Sound,
    Video,
    Data, // JSON and the like: text, but no page
    Other // examined through its body as any cached file is
};

/// What a media type ("text/html", as MediaTypeOf gives it) says a body is.
MediaClass ClassifyMediaType(std::string_view mediaType);

/// The file extension a browser needs to draw a picture from disk: from the media
/// type when it names a picture, else from the body's first bytes; empty when
/// neither says it is a picture.
std::string PictureExtension(std::string_view mediaType, std::string_view body);

struct RecordLimits
{
    /// Decoded bytes of a page or other body searched for a title; the search
    /// stops as soon as the title is found.
    std::size_t pageBytes = kPageTitleSearchBytes;
    /// A picture is kept for a thumbnail only when it decodes whole within this.
    std::size_t pictureBytes = 32 * 1024 * 1024;
    /// At most this much of an encoded body is read.
    std::size_t encodedReadBytes = 4 * 1024 * 1024;
};

struct RecordExamination
{
    Examination examination;
    std::string url;
    /// The decoded picture when the record holds one that is whole and small
    /// enough, with the extension to store it under.
    std::string picture;
    std::string pictureExtension;
    /// The picture was not read: the caller already had it (`pictureKept`).
    bool pictureKept = false;
};

/// Examines a Chromium or Firefox record through its body, decoded as its response
/// head says. Nullopt when the file is not a record, or is damaged (lengths, body
/// checksum or compressed data that do not hold up), or has a skipped name: the
/// caller then examines the file as any other.
std::optional<RecordExamination> ExamineRecord(RecordSource& source, std::string_view fileName,
                                               std::string_view indexName,
                                               const YieldFn& yield = {},
                                               const RecordLimits& limits = {},
                                               const std::function<bool()>& pictureKept = {});

} // namespace tessaloom::records
