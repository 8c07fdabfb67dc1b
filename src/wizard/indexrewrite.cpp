#include "wizard/indexrewrite.h"

#include "indexer/entryline.h"
#include "indexer/indexdocument.h"
#include "platform/atomicfile.h"
#include "wizard/indexfolder.h"
#include "wizard/indexreader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaloom {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

// Copies lines to the new document, holding at most one line of bounded length.
class LineCopier
{
public:
    LineCopier(AtomicFile& out, const IndexFolder& folder) : m_out(out), m_folder(folder) {}

    std::size_t dropped() const { return m_dropped; }

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
        if (!m_passThrough && m_line.size() + piece.size() > kMaxIndexFieldBytes) {
            // Far longer than any line worth dropping: copy it through as it comes.
            m_out.write(m_line);
            m_line.clear();
            m_passThrough = true;
        }
        if (m_passThrough) {
            m_out.write(piece);
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
            m_out.write(m_line);
        }
        // A line read with its CR keeps it; every line ends in CR LF either way.
        m_out.write(endsWithCr ? "\n" : "\r\n");
        m_line.clear();
        m_passThrough = false;
        m_lastWasCr = false;
    }

    bool targetIsGone(std::string_view line) const
    {
        if (!line.starts_with(entryline::kLinkStart) && !line.starts_with(entryline::kPrefix))
            return false;
        std::string_view target;
        if (!CutLinkTarget(line, target))
            return false;
        const std::string name = DecodeLinkTarget(target);
        // Only a name of this folder that has nothing left under it is dropped;
        // a line naming anything else is copied as the document had it.
        return m_folder.isGone(name);
    }

    AtomicFile& m_out;
    const IndexFolder& m_folder;
    std::string m_line;
    std::size_t m_dropped = 0;
    bool m_passThrough = false;
    bool m_lastWasCr = false;
};

} // namespace

RewriteResult RewriteIndexDocument(const std::filesystem::path& document)
{
    RewriteResult result;
    const int fd = ::open(document.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.error = document.string() + ": " + std::strerror(errno);
        return result;
    }
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result.error = document.string() + ": not a regular file";
        ::close(fd);
        return result;
    }

    const IndexFolder folder(document.parent_path());
    if (!folder.isOpen()) {
        result.error = folder.error();
        ::close(fd);
        return result;
    }
    AtomicFile out(document);
    if (!out.open()) {
        result.error = out.error();
        ::close(fd);
        return result;
    }
    LineCopier copier(out, folder);
    std::string buffer(kReadChunk, '\0');
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            result.error = document.string() + ": " + std::strerror(errno);
            ::close(fd);
            out.discard();
            return result;
        }
        if (n == 0)
            break;
        copier.feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    }
    ::close(fd);
    copier.finish();
    if (!out.commit()) {
        result.error = out.error();
        return result;
    }
    result.ok = true;
    result.linesDropped = copier.dropped();
    return result;
}

} // namespace tessaloom
