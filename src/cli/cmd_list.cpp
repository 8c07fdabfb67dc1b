#include "cli/cli.h"
#include "cli/terminaltext.h"

#include "indexer/indexdocument.h"
#include "wizard/indexpath.h"
#include "wizard/indexreader.h"

#include <filesystem>
#include <ostream>
#include <system_error>

namespace tessaloom::cli {

namespace {

void PrintListHelp(std::ostream& os)
{
    os << "Usage: tessaloom-cli list DOCUMENT\n"
          "\n"
          "Prints the entries of the index page DOCUMENT (or FOLDER/!ndex.htm when a\n"
          "folder is given) whose files still exist, as the View/Delete Wizard lists\n"
          "them: one line each, the date padded to 25 characters, a tab, the title, a\n"
          "tab, the full path of the file. Control characters inside a title or a file\n"
          "name (also C1 controls and bidirectional overrides) are printed as \"?\", so\n"
          "that every entry stays on one line and shows as it is.\n"
          "\n"
          "Exit status: 0 listed (also when nothing is left), 2 usage error or\n"
          "unreadable document.\n";
}

// Writes `text` made harmless for the terminal, except the tab that the display
// text itself puts between date and title (`keepTab`).
void PrintField(std::ostream& os, std::string_view text, std::size_t keepTab)
{
    if (keepTab >= text.size()) {
        os << TerminalText(text);
        return;
    }
    os << TerminalText(text.substr(0, keepTab)) << '\t' << TerminalText(text.substr(keepTab + 1));
}

} // namespace

int RunListCommand(const std::vector<std::string>& args, Streams& streams)
{
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        PrintListHelp(streams.out);
        return kExitOk;
    }
    if (args.size() != 1 || args[0].empty() || args[0].starts_with("--")) {
        PrintListHelp(streams.err);
        return kExitUsage;
    }

    std::filesystem::path document = ResolveIndexPath(args[0], ProcessCurrentFolder());
    std::error_code ec;
    if (std::filesystem::is_directory(document, ec))
        document /= kIndexDocumentName;

    const IndexList list = ReadIndexDocument(document);
    if (list.status != IndexListStatus::Loaded) {
        streams.err << "tessaloom-cli: cannot read "
                    << TerminalText(list.error ? list.error->message : std::string()) << "\n";
        return kExitUsage;
    }
    for (const WizardRow& row : list.rows) {
        PrintField(streams.out, row.displayText, row.displayText.find('\t'));
        streams.out << '\t';
        PrintField(streams.out, row.targetPath, std::string_view::npos);
        streams.out << '\n';
    }
    streams.out.flush();
    if (list.end == IndexReadEnd::FieldLimit)
        streams.err << "tessaloom-cli: the document has too many fields; only the first "
                    << kIndexFieldLimit - 1 << " were read\n";
    else if (list.end == IndexReadEnd::SizeLimit)
        streams.err << "tessaloom-cli: the entries are too large; the list was cut short\n";
    else if (list.end == IndexReadEnd::ByteLimit)
        streams.err << "tessaloom-cli: the document is too large; only its first "
                    << kMaxIndexDocumentBytes / (1024 * 1024) << " MB were read\n";
    return kExitOk;
}

} // namespace tessaloom::cli
