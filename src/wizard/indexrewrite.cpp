#include "wizard/indexrewrite.h"

#include "indexer/entryline.h"
#include "indexer/indexdocument.h"
#include "platform/atomicfile.h"
#include "platform/readfile.h"
#include "wizard/indexfolder.h"
#include "wizard/indexreader.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <tuple>

namespace tessaloom {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
// A longer line is copied through unjudged; the program's own lines are far
// shorter, and one line at a time is held in memory.
constexpr std::size_t kMaxJudgedLineBytes = 1024 * 1024;

// Copies lines to the new document, holding at most one line of bounded length.
class LineCopier
{
public:
    LineCopier(AtomicFile& out, const IndexFolder& folder) : m_out(out), m_folder(folder) {}

    std::size_t dropped() const { return m_dropped; }

    // A failed write needs no look here: the file keeps its first failure and
    // fails the commit with it.
    void put(std::string_view bytes) { std::ignore = m_out.write(bytes); }

    void feed(std::string_view bytes)
    {
        std::size_t i = 0;
        while (i < bytes.size()) {
            const std::size_t lf = bytes.find('\n', i);
            const std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
            take(bytes.substr(i, end - i));
            if (lf == std::string_view::npos)
                break;
            endLine();
            i = lf + 1;
        }
    }

    void finish()
    {
        if (m_passThrough || !m_line.empty())
            endLine();
    }

private:
    void take(std::string_view piece)
    {
        if (piece.empty())
            return;
        if (!m_passThrough && m_line.size() + piece.size() > kMaxJudgedLineBytes) {
            // Far longer than any line worth dropping: copy it through as it comes.
            put(m_line);
            m_line.clear();
            m_passThrough = true;
        }
        if (m_passThrough) {
            put(piece);
            m_lastWasCr = piece.back() == '\r';
        } else {
            m_line.append(piece);
        }
    }

    void endLine()
    {
        bool endsWithCr = false;
        if (m_passThrough) {
            endsWithCr = m_lastWasCr;
        } else {
            std::string_view line = m_line;
            endsWithCr = !line.empty() && line.back() == '\r';
            if (endsWithCr)
                line.remove_suffix(1);
            if (targetIsGone(line)) {
                ++m_dropped;
                m_line.clear();
                return;
            }
            put(m_line);
        }
        // A line read with its CR keeps it; every line ends in CR LF either way.
        put(endsWithCr ? "\n" : "\r\n");
        m_line.clear();
        m_passThrough = false;
        m_lastWasCr = false;
    }

    // The reader takes a line apart at commas and CRs and lists each piece on
    // its own, so a line may hold several entries. It is dropped only when it
    // holds at least one and every one of them names a file that is gone.
    bool targetIsGone(std::string_view line) const
    {
        bool anyEntry = false;
        for (std::size_t from = 0; from <= line.size();) {
            std::size_t end = line.find_first_of(",\r", from);
            if (end == std::string_view::npos)
                end = line.size();
            const std::string_view field = line.substr(from, end - from);
            from = end + 1;
            std::string_view target;
            if ((!field.starts_with(entryline::kLinkStart) &&
                 !field.starts_with(entryline::kPrefix)) ||
                !CutLinkTarget(field, target))
                continue;
            // Only a name of this folder that has nothing left under it counts as
            // gone; a piece naming anything else keeps the line as the document had it.
            if (!m_folder.isGone(DecodeLinkTarget(target)))
                return false;
            anyEntry = true;
        }
        return anyEntry;
    }

    AtomicFile& m_out;
    const IndexFolder& m_folder;
    std::string m_line;
    std::size_t m_dropped = 0;
    bool m_passThrough = false;
    bool m_lastWasCr = false;
};

} // namespace

Result<RewriteSummary> RewriteIndexDocument(const std::filesystem::path& document,
                                            const FolderIdentity* expected)
{
    const OpenedFile file = OpenFileForReading(document, FinalLink::Follow);
    if (!file.fd)
        return ReadFailure(file, document.string());
    const auto tooLarge = [&] {
        return Error{kTooLarge, document.string() + ": larger than " +
                                    std::to_string(kMaxIndexDocumentBytes / (1024 * 1024)) +
                                    " MB, so not rewritten: the deleted files stay in the page"};
    };
    if (static_cast<std::uint64_t>(file.info.st_size) > kMaxIndexDocumentBytes)
        return tooLarge();

    const IndexFolder folder(document.parent_path());
    if (!folder.isOpen())
        return folder.error();
    if (expected && !folder.identity().sameAs(*expected))
        return Error{kFolderReplaced, FolderReplacedText(folder.path())};
    AtomicFile out(document);
    if (Result<void> opened = out.open(); !opened)
        return opened.error();
    LineCopier copier(out, folder);
    std::string buffer(kReadChunk, '\0');
    std::size_t total = 0;
    for (;;) {
        const ssize_t n = ReadSome(file.fd.get(), buffer.data(), buffer.size());
        if (n < 0) {
            Error failed = SystemError(errno, document.string());
            out.discard();
            return failed;
        }
        if (n == 0)
            break;
        total += static_cast<std::size_t>(n);
        if (total > kMaxIndexDocumentBytes) {
            // It grew while being read.
            out.discard();
            return tooLarge();
        }
        copier.feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    }
    copier.finish();
    if (Result<void> committed = out.commit(); !committed)
        return committed.error();
    return RewriteSummary{copier.dropped()};
}

} // namespace tessaloom
