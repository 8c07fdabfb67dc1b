#include "cli/cli.h"
#include "cli/terminaltext.h"

#include "discovery/drivesearch.h"
#include "discovery/mountedvolumes.h"
#include "shell/startup.h"

#include <filesystem>
#include <ostream>
#include <sys/stat.h>

namespace tessaloom::cli {

namespace {

void PrintSearchUsage(std::ostream& os)
{
    os << "Usage: tessaloom-cli search [ROOT ...]\n"
          "\n"
          "Finds cache folders (folders named Cache, Temporary Internet Files or\n"
          "Cache.Trash, and the file folders of current browsers: Cache/Cache_Data of\n"
          "Chromium and its relatives, cache2/entries of Firefox) and prints them one\n"
          "per line.\n"
          "\n"
          "Without ROOT, searches every volume and then the cache home, and writes the\n"
          "suggested-folder list folders.dat in the data folder, as Refresh does.\n"
          "With ROOTs, searches only below them and writes nothing.\n";
}

// The search window's part, played on a terminal: progress on stderr when it is
// one, errors reported and passed over, since there is nobody to ask.
class TerminalSearchView final : public FoldersSearchView
{
public:
    explicit TerminalSearchView(Streams& streams) : m_streams(streams) {}

    bool cancelRequested() override { return false; }
    void letEventsRun() override {}
    void cacheFolderFound(const std::string&) override {}
    void setFoldersLabel(const std::string& text) override
    {
        if (!text.empty())
            showProgress(text);
    }
    ErrorAnswer askAboutError(const WalkError& error) override
    {
        clearProgress();
        m_streams.err << "tessaloom-cli: " << TerminalText(error.path) << ": "
                      << TerminalText(error.text()) << '\n';
        return ErrorAnswer::Ignore;
    }
    void setBusyPointer(bool) override {}
    void playSound(const std::string&) override {}
    void showWindow() override {}
    void clearSuggestions() override {}
    void setSearchingLabel(const std::string& text) override
    {
        std::string line = text;
        for (char& c : line) {
            if (c == '\n')
                c = ' ';
        }
        showProgress(line);
    }
    void slideOutAndClose() override { clearProgress(); }
    void reloadSuggestedList() override {}

private:
    void showProgress(const std::string& text)
    {
        if (!m_streams.errIsTerminal)
            return;
        m_streams.err << "\r\033[K" << TerminalText(text) << std::flush;
        m_shown = true;
    }
    void clearProgress()
    {
        if (m_shown)
            m_streams.err << "\r\033[K" << std::flush;
        m_shown = false;
    }

    Streams& m_streams;
    bool m_shown = false;
};

bool IsFolder(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

int RunSearchCommand(const std::vector<std::string>& args, Streams& streams)
{
    std::vector<std::string> roots;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            PrintSearchUsage(streams.out);
            return kExitOk;
        }
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && arg.size() > 1 && arg.front() == '-') {
            streams.err << "tessaloom-cli search: unknown option '" << TerminalText(arg) << "'\n";
            PrintSearchUsage(streams.err);
            return kExitUsage;
        }
        if (arg.empty()) {
            streams.err << "tessaloom-cli search: empty ROOT\n";
            return kExitUsage;
        }
        roots.push_back(arg);
    }

    DriveSearchPlan plan;
    if (roots.empty()) {
        // Found and created as start-up does, so both use the same files.
        const AppFolders folders = SettleAppFolders(AppEnvironment::FromProcess());
        for (const Volume& volume : MountedVolumes())
            plan.volumes.push_back({volume.mountPoint, volume.entryText});
        plan.cacheHome = folders.cacheHome;
        plan.folderListPath = folders.folderListPath;
    } else {
        for (const std::string& root : roots) {
            if (!IsFolder(root))
                streams.err << "tessaloom-cli search: " << TerminalText(root)
                            << ": no such folder\n";
            plan.volumes.push_back({root, root});
        }
    }

    TerminalSearchView view(streams);
    const DriveSearchResult result = RunDriveSearch(plan, view, LocaleFormats::FromProcessLocale());
    for (const std::string& folder : result.folders)
        streams.out << TerminalText(folder) << '\n';
    streams.out.flush();

    if (!plan.folderListPath.empty() && !result.written) {
        streams.err << "tessaloom-cli search: cannot write "
                    << TerminalText(plan.folderListPath.string()) << ": "
                    << TerminalText(result.writeError->message) << '\n';
        return kExitWriteFailed;
    }
    return kExitOk;
}

} // namespace tessaloom::cli
