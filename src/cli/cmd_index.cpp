#include "cli/cli.h"
#include "cli/modulepicturescaler.h"
#include "cli/terminaltext.h"

#include "indexer/indexbuild.h"
#include "mainwindow/mainoptions.h"
#include "platform/filelister.h"
#include "shell/appfolders.h"

#include <filesystem>
#include <optional>
#include <ostream>

namespace tessaloom::cli {

namespace {

void PrintIndexHelp(std::ostream& os)
{
    os << "Usage: tessaloom-cli index [OPTIONS] FOLDER\n"
          "\n"
          "Examines the files of FOLDER that match the pattern, finds their titles and\n"
          "kinds, and writes the index page FOLDER/!ndex.htm, oldest files first.\n"
          "\n"
          "Options:\n"
          "  --pattern PATTERN  file-name pattern, \"*\" and \"?\" wildcards, several\n"
          "                     separated by \";\" (default \"*.*\": every file)\n"
          "  --exclude-images   leave pictures out\n"
          "  --only-images      list pictures only (implies --exclude-binary and\n"
          "                     clears --exclude-images)\n"
          "  --exclude-binary   leave out untitled non-image binary files (default)\n"
          "  --keep-binary      list untitled binary files too\n"
          "  --records          read the records of today's browsers (Chromium's\n"
          "                     Cache_Data, Firefox's cache2/entries) through their\n"
          "                     bodies: titles of compressed pages, thumbnails kept\n"
          "                     under the cache home, addresses (the default)\n"
          "  --no-records       examine every file as it is on disk, records too\n"
          "  --quiet            no progress line\n"
          "  --help             this text\n"
          "\n"
          "Exit status: 0 written, 1 no file matched, 2 usage error or unreadable folder,\n"
          "3 the page could not be written.\n";
}

// A one-line progress display for a terminal.
class TerminalProgress final : public IndexProgressListener
{
public:
    TerminalProgress(std::ostream& err, bool enabled) : m_err(err), m_enabled(enabled) {}

    void fileReport(const FileReport& report) override
    {
        if (!m_enabled)
            return;
        // Redraw at most every 64 files: a terminal is much slower than the run.
        if (report.counter % 64 != 1 && report.counter != report.total)
            return;
        m_err << "\r\033[K" << report.percentText() << "  " << TerminalText(report.readingText())
              << std::flush;
        m_drawn = true;
    }
    void windowTitleReport(std::string_view) override {}
    void timedReport(const TimedReport&) override {}
    bool cancelRequested() override { return false; }
    bool keepPartialIndex() override { return true; }
    void lastTitleReport(std::string_view) override {}
    void close() override
    {
        if (m_drawn)
            m_err << "\r\033[K" << std::flush;
        m_drawn = false;
    }

private:
    std::ostream& m_err;
    bool m_enabled;
    bool m_drawn = false;
};

std::string FolderForDocument(const std::string& argument)
{
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(argument, ec);
    if (ec)
        path = argument;
    std::string text = path.lexically_normal().string();
    // Only a root folder keeps its trailing "/".
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

// What the command line asks of the index command.
struct IndexArguments
{
    IndexOptions options;
    std::string pattern = "*.*";
    bool quiet = false;
    bool readRecords = true;
    std::string folder;
};

// Reads the arguments into `parsed`; the exit status when the command ends here
// (help shown, or a usage error reported).
std::optional<int> ParseIndexArguments(const std::vector<std::string>& args, Streams& streams,
                                       IndexArguments& parsed)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            PrintIndexHelp(streams.out);
            return kExitOk;
        }
        if (arg == "--pattern") {
            if (i + 1 == args.size()) {
                streams.err << "tessaloom-cli index: --pattern needs a value\n";
                return kExitUsage;
            }
            parsed.pattern = args[++i];
        } else if (arg.starts_with("--pattern=")) {
            parsed.pattern = arg.substr(10);
        } else if (arg == "--exclude-images") {
            parsed.options.excludeImages = true;
        } else if (arg == "--only-images") {
            parsed.options.includeOnlyImages = true;
        } else if (arg == "--exclude-binary") {
            parsed.options.excludeBinaryFiles = true;
        } else if (arg == "--keep-binary") {
            parsed.options.excludeBinaryFiles = false;
        } else if (arg == "--records") {
            parsed.readRecords = true;
        } else if (arg == "--no-records") {
            parsed.readRecords = false;
        } else if (arg == "--quiet" || arg == "-q") {
            parsed.quiet = true;
        } else if (arg.starts_with("-") && arg != "-") {
            streams.err << "tessaloom-cli index: unknown option '" << TerminalText(arg) << "'\n";
            return kExitUsage;
        } else if (parsed.folder.empty()) {
            parsed.folder = arg;
        } else {
            streams.err << "tessaloom-cli index: only one FOLDER may be given\n";
            return kExitUsage;
        }
    }
    if (parsed.folder.empty()) {
        streams.err << "tessaloom-cli index: no FOLDER given (see --help)\n";
        return kExitUsage;
    }
    return std::nullopt;
}

// The options tick the window's boxes in its start-up order, with its interlocks.
IndexOptions InterlockedOptions(const IndexOptions& options)
{
    OptionBoxes flags;
    flags.excludeImages = options.excludeImages;
    flags.includeOnlyImages = options.includeOnlyImages;
    flags.excludeBinaryFiles = options.excludeBinaryFiles;
    return FilterOptionsOf(TickInStartupOrder(flags));
}

// Reports the build's outcome and gives the command's exit status.
int ReportOutcome(const IndexOutcome& outcome, Streams& streams)
{
    switch (outcome.status) {
    case IndexStatus::NoFiles:
        streams.err << kNoFilesMessage << "\n";
        return kExitNothingFound;
    case IndexStatus::WriteFailed:
        streams.err << "tessaloom-cli index: the index could not be written: "
                    << TerminalText(outcome.error->message) << "\n";
        return kExitWriteFailed;
    case IndexStatus::Cancelled:
        return kExitNothingFound;
    case IndexStatus::FolderUnreadable:
        // Gone or locked since it was listed: as unreadable as at the listing.
        streams.err << "tessaloom-cli index: cannot read folder "
                    << TerminalText(outcome.error->message) << "\n";
        return kExitUsage;
    case IndexStatus::Written:
        break;
    }
    streams.out << TerminalText(outcome.documentPath.string()) << "\n"
                << "Files Indexed: " << outcome.entryCount << "\n"
                << "Images Filtered: " << outcome.imagesFiltered << "\n"
                << "Binary Files Filtered: " << outcome.binaryFiltered << "\n";
    return kExitOk;
}

} // namespace

int RunIndexCommand(const std::vector<std::string>& args, Streams& streams)
{
    IndexArguments parsed;
    if (const auto status = ParseIndexArguments(args, streams, parsed))
        return *status;

    IndexRequest request;
    request.folder = FolderForDocument(parsed.folder);
    request.pattern = parsed.pattern;
    request.options = InterlockedOptions(parsed.options);
    request.readRecords = parsed.readRecords;
    ModulePictureScaler scaler;
    request.cacheHome = ResolveAppFolders(AppEnvironment::FromProcess()).cacheHome;
    if (parsed.readRecords)
        request.pictureScaler = &scaler;
    request.formats = LocaleFormats::FromProcessLocale();
    Result<std::vector<std::string>> listed = ListMatchingFiles(request.folder, parsed.pattern);
    if (!listed) {
        streams.err << "tessaloom-cli index: cannot read folder "
                    << TerminalText(listed.error().message) << "\n";
        return kExitUsage;
    }
    request.fileNames = std::move(listed).value();

    TerminalProgress progress(streams.err, streams.errIsTerminal && !parsed.quiet);
    const IndexOutcome outcome = CreateIndex(request, progress);
    if (!scaler.loadError().empty())
        streams.err << "tessaloom-cli index: no thumbnails made: "
                    << TerminalText(scaler.loadError()) << "\n";
    return ReportOutcome(outcome, streams);
}

} // namespace tessaloom::cli
