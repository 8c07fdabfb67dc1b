#include "indexer/records/recordexamination.h"

#include "indexer/records/bodydecoder.h"
#include "platform/textcodec.h"

#include <zlib.h>

#include <algorithm>
#include <array>

namespace tessaloom::records {

namespace {

struct PictureType
{
    std::string_view mediaType;
    std::string_view extension;
};

constexpr std::array<PictureType, 12> kPictureTypes = {{
    {"image/jpeg", "jpg"},
    {"image/pjpeg", "jpg"},
    {"image/jpg", "jpg"},
    {"image/png", "png"},
    {"image/apng", "png"},
    {"image/gif", "gif"},
    {"image/webp", "webp"},
    {"image/avif", "avif"},
    {"image/svg+xml", "svg"},
    {"image/x-icon", "ico"},
    {"image/vnd.microsoft.icon", "ico"},
    {"image/bmp", "bmp"},
}};

constexpr std::array<std::string_view, 6> kScriptTypes = {
    "text/javascript",        "application/javascript", "application/x-javascript",
    "application/ecmascript", "text/ecmascript",        "text/jscript"};

constexpr std::array<std::string_view, 6> kFontTypes = {
    "application/font-woff",  "application/font-woff2",        "application/x-font-ttf",
    "application/x-font-otf", "application/vnd.ms-fontobject", "application/font-sfnt"};

// The picture formats a browser draws, by their first bytes.
std::string_view SniffPicture(std::string_view body)
{
    if (body.starts_with("\xFF\xD8\xFF"))
        return "jpg";
    if (body.starts_with("\x89PNG\r\n\x1A\n"))
        return "png";
    if (body.starts_with("GIF87a") || body.starts_with("GIF89a"))
        return "gif";
    if (body.size() >= 12 && body.starts_with("RIFF") && body.substr(8, 4) == "WEBP")
        return "webp";
    if (body.size() >= 12 && body.substr(4, 8) == "ftypavif")
        return "avif";
    if (body.starts_with(std::string_view("\x00\x00\x01\x00", 4)))
        return "ico";
    if (body.starts_with("BM") && body.size() >= 26)
        return "bmp";
    return {};
}

bool IsOneOf(std::string_view value, const auto& list)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

// Reads up to `want` bytes of the body; nullopt when the file does not give them.
std::optional<std::string> ReadBody(RecordSource& source, const CacheRecord& record,
                                    std::size_t want)
{
    const auto bytes = source.read(record.bodyOffset, want);
    if (!bytes)
        return std::nullopt;
    return std::string(*bytes);
}

// Chromium's checksum covers the whole body; a body read whole must match it.
bool ChecksumHolds(const CacheRecord& record, std::string_view body)
{
    if (!record.bodyCrc)
        return true;
    uLong crc = crc32(0, nullptr, 0);
    for (std::size_t at = 0; at < body.size();) {
        const std::size_t piece = std::min<std::size_t>(body.size() - at, 1u << 30);
        crc =
            crc32(crc, reinterpret_cast<const Bytef*>(body.data() + at), static_cast<uInt>(piece));
        at += piece;
    }
    return crc == *record.bodyCrc;
}

// The body decoded up to `limit`, or nullopt when it is damaged: a checksum that
// does not match, a coding we cannot undo, or a stream that stops short although
// the whole body was read.
std::optional<std::string> DecodedPrefix(RecordSource& source, const CacheRecord& record,
                                         const std::vector<std::string>& codings, std::size_t limit,
                                         std::size_t encodedLimit)
{
    if (codings.empty()) {
        // A plain body is read a part at a time, and no further than its title.
        for (std::size_t step = 128 * 1024;; step = std::min(limit, step * 8)) {
            const auto want =
                static_cast<std::size_t>(std::min<std::uint64_t>(record.bodySize, step));
            auto body = ReadBody(source, record, want);
            if (!body)
                return std::nullopt;
            if (want == record.bodySize)
                return ChecksumHolds(record, *body) ? std::move(body) : std::nullopt;
            if (step >= limit || PageTitleIsSettled(*body))
                return body;
        }
    }
    const auto want =
        static_cast<std::size_t>(std::min<std::uint64_t>(record.bodySize, encodedLimit));
    const bool whole = want == record.bodySize;
    auto encoded = ReadBody(source, record, want);
    if (!encoded)
        return std::nullopt;
    if (whole && !ChecksumHolds(record, *encoded))
        return std::nullopt;
    // Decoding is most of the cost of a compressed page, and its title mostly sits
    // in the first few kilobytes: decode a little, and more only while more could
    // still change the title.
    for (std::size_t step = 4096;; step = std::min(limit, step * 8)) {
        DecodedBody decoded = DecodeBody(*encoded, codings, step);
        if (decoded.status == DecodeStatus::Failed ||
            (decoded.status == DecodeStatus::InputEnded && whole))
            return std::nullopt;
        if (step >= limit || decoded.status != DecodeStatus::LimitReached ||
            PageTitleIsSettled(decoded.bytes))
            return std::move(decoded.bytes);
    }
}

enum class PictureRead
{
    Whole,
    TooBig, // still a picture, but none to show
    Damaged,
};

// The whole decoded picture into `picture`.
PictureRead WholePicture(RecordSource& source, const CacheRecord& record,
                         const std::vector<std::string>& codings, const RecordLimits& limits,
                         std::string& picture)
{
    const std::size_t cap = codings.empty() ? limits.pictureBytes : limits.encodedReadBytes;
    if (record.bodySize > cap)
        return PictureRead::TooBig;
    auto encoded = ReadBody(source, record, static_cast<std::size_t>(record.bodySize));
    if (!encoded || !ChecksumHolds(record, *encoded))
        return PictureRead::Damaged;
    DecodedBody decoded = DecodeBody(*encoded, codings, limits.pictureBytes);
    if (decoded.status == DecodeStatus::LimitReached)
        return PictureRead::TooBig;
    if (decoded.status != DecodeStatus::Complete)
        return PictureRead::Damaged;
    picture = std::move(decoded.bytes);
    return PictureRead::Whole;
}

} // namespace

MediaClass ClassifyMediaType(std::string_view mediaType)
{
    if (mediaType == "text/html" || mediaType == "application/xhtml+xml")
        return MediaClass::Page;
    if (mediaType.starts_with("image/"))
        return MediaClass::Picture;
    if (IsOneOf(mediaType, kScriptTypes))
        return MediaClass::Script;
    if (mediaType == "text/css")
        return MediaClass::StyleSheet;
    if (mediaType.starts_with("font/") || IsOneOf(mediaType, kFontTypes))
        return MediaClass::Font;
    if (mediaType.starts_with("audio/"))
        return MediaClass::Sound;
    if (mediaType.starts_with("video/"))
        return MediaClass::Video;
    if (mediaType == "application/json" || mediaType == "text/json" ||
        mediaType.ends_with("+json") || mediaType == "application/x-ndjson")
        return MediaClass::Data;
    return MediaClass::Other;
}

std::string PictureExtension(std::string_view mediaType, std::string_view body)
{
    for (const PictureType& type : kPictureTypes) {
        if (type.mediaType == mediaType)
            return std::string(type.extension);
    }
    const std::string_view sniffed = SniffPicture(body);
    if (!sniffed.empty())
        return std::string(sniffed);
    // Another image type: still a picture, stored under a neutral name.
    return mediaType.starts_with("image/") ? "img" : "";
}

namespace {

// A picture's examination; false when its body is damaged.
bool ExaminePicture(RecordSource& source, const CacheRecord& record,
                    const std::vector<std::string>& codings, std::string_view mediaType,
                    const RecordLimits& limits, const std::function<bool()>& pictureKept,
                    RecordExamination& result)
{
    result.examination.kind = FileKind::Image;
    result.examination.label = kImageLabel;
    // An unchanged file whose thumbnail is kept: its body, often most of what a
    // rebuild would read, is not needed.
    if (pictureKept && pictureKept()) {
        result.pictureKept = true;
        return true;
    }
    std::string picture;
    const PictureRead read = WholePicture(source, record, codings, limits, picture);
    if (read == PictureRead::Damaged)
        return false;
    if (read == PictureRead::Whole) {
        result.pictureExtension = PictureExtension(mediaType, picture);
        result.picture = std::move(picture);
    }
    return true;
}

// The examination of a page, or of a body of no telling type, by its title.
Examination ExamineByTitle(const CacheRecord& record, MediaClass media, std::string_view body,
                           std::string_view fileName, std::string_view indexName,
                           const YieldFn& yield)
{
    Examination exam;
    std::string title = PageTitle(body, CharsetParameter(record.head.value("Content-Type")));
    CallYield(yield);
    if (!title.empty()) {
        exam.label = std::move(title);
    } else if (media == MediaClass::Page) {
        // A page is text whatever bytes it holds: never "binary".
        exam.label = kUntitledLabel;
    } else {
        // The rules for any cached file; a title they find is written as
        // UTF-8 like every title of a record.
        exam = ExamineContent(fileName, body.substr(0, kExaminedBytes), indexName, yield);
        if (!exam.label.empty() && exam.label[0] != ' ')
            exam.label = DecodeCharacterReferences(ToDisplayUtf8(exam.label));
    }
    return exam;
}

// The label of a kind of body that is not read.
std::string_view UnreadBodyLabel(MediaClass media)
{
    switch (media) {
    case MediaClass::Sound:
        return kSoundLabel;
    case MediaClass::Script:
        return kJavaScriptLabel;
    case MediaClass::StyleSheet:
        return kStyleSheetLabel;
    case MediaClass::Font:
        return kFontLabel;
    case MediaClass::Video:
        return kVideoLabel;
    case MediaClass::Data:
        return kDataLabel;
    default:
        return {};
    }
}

} // namespace

std::optional<RecordExamination> ExamineRecord(RecordSource& source, std::string_view fileName,
                                               std::string_view indexName, const YieldFn& yield,
                                               const RecordLimits& limits,
                                               const std::function<bool()>& pictureKept)
{
    // A skipped name stays skipped whatever it holds.
    if (IEquals(fileName, indexName) || IEquals(fileName, "fat.db") ||
        IStartsWith(fileName, "_cache_"))
        return std::nullopt;
    auto record = ReadCacheRecord(source);
    if (!record)
        return std::nullopt;
    CallYield(yield);

    const std::string mediaType = MediaTypeOf(record->head.value("Content-Type"));
    const std::vector<std::string> codings = ContentCodings(record->head.value("Content-Encoding"));
    MediaClass media = ClassifyMediaType(mediaType);

    RecordExamination result;
    result.url = std::move(record->url);

    std::optional<std::string> body;
    if (media == MediaClass::Page || media == MediaClass::Other) {
        body = DecodedPrefix(source, *record, codings, limits.pageBytes, limits.encodedReadBytes);
        if (!body)
            return std::nullopt;
        // A body without a telling type may still be a picture.
        if (media == MediaClass::Other && !SniffPicture(*body).empty())
            media = MediaClass::Picture;
    }

    if (media == MediaClass::Picture) {
        if (!ExaminePicture(source, *record, codings, mediaType, limits, pictureKept, result))
            return std::nullopt;
    } else if (media == MediaClass::Page || media == MediaClass::Other) {
        result.examination = ExamineByTitle(*record, media, *body, fileName, indexName, yield);
    } else {
        if (media == MediaClass::Sound)
            result.examination.kind = FileKind::Sound;
        result.examination.label = UnreadBodyLabel(media);
    }
    CallYield(yield);
    return result;
}

} // namespace tessaloom::records
