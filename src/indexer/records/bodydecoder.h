#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessaloom::records {

enum class DecodeStatus
{
    Complete,     // every coding's stream ended properly
    LimitReached, // the output was cut at the limit; what came before is good
    InputEnded,   // the input stopped inside a stream (a body read only in part)
    Failed,       // a coding we do not know, or data that is not what it claims
};

/// The most content codings a body may carry. Browsers apply one or two; a record that
/// names more is treated as damaged rather than decoded stage after stage.
inline constexpr std::size_t kMaxContentCodings = 8;

struct DecodedBody
{
    std::string bytes;
    DecodeStatus status = DecodeStatus::Failed;
};

/// Undoes the content codings of a body ("gzip", "x-gzip", "deflate", "br", "zstd",
/// given in the order they were applied). No stage ever produces more than
/// `outputLimit` bytes, so a small body that inflates without end costs at most
/// that much memory and time. Without codings the body comes back as it is, cut
/// at the limit. More than `kMaxContentCodings` codings, or a stage whose stream
/// stops short although the stage before it ended properly, make it Failed.
DecodedBody DecodeBody(std::string_view encoded, const std::vector<std::string>& codings,
                       std::size_t outputLimit);

} // namespace tessaloom::records
