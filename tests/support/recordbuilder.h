#pragma once

#include <string>
#include <string_view>

// Builds cache records the way Chromium and Firefox lay them out on disk, so that
// tests, benchmarks and fuzz seeds need no browser. Every builder returns the
// whole file.
namespace tessaloom::test {

struct RecordParts
{
    std::string url;
    /// Status line and header fields, one per line ("HTTP/1.1 200 OK\n...").
    std::string head;
    /// The body as stored: already encoded when the head names a coding.
    std::string body;
};

/// "<16 hex>_0" of Chromium's simple cache, with the body's checksum and the
/// key digest as current Chromium writes them.
std::string ChromiumRecord(const RecordParts& parts, bool withChecksum = true,
                           bool withKeyDigest = true);

/// An entry of Firefox's cache2.
std::string FirefoxRecord(const RecordParts& parts);

/// A head for a 200 response with the given type and, when not empty, coding.
std::string OkHead(std::string_view contentType, std::string_view contentEncoding = {});

std::string Gzip(std::string_view data);
std::string ZlibDeflate(std::string_view data);
std::string RawDeflate(std::string_view data);
std::string Brotli(std::string_view data);
std::string Zstd(std::string_view data);

} // namespace tessaloom::test
