#include "indexer/indexdocument.h"
#include "support/testdir.h"
#include "wizard/deletefiles.h"
#include "wizard/indexreader.h"
#include "wizard/indexrewrite.h"

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaloom {
namespace {

using test::ReadWholeFile;
using test::TestDir;

ConfirmDeleteFn Answer(ConfirmDeleteAnswer answer, bool doNotShowAgain = false,
                       int* calls = nullptr)
{
    return [=] {
        if (calls)
            ++*calls;
        return ConfirmDeleteReply{answer, doNotShowAgain};
    };
}

const ConfirmDeleteFn kYes = Answer(ConfirmDeleteAnswer::Yes);

// A folder "cache" with files f0..f(n-1) and the index the builder writes for them.
struct IndexedFolder
{
    explicit IndexedFolder(int n)
    {
        std::vector<IndexEntry> entries;
        for (int i = 0; i < n; ++i) {
            const std::string name = "f" + std::to_string(i);
            dir.createFile("cache/" + name, "x");
            entries.push_back({"2024/01/0" + std::to_string(i % 9 + 1) + " 10:00:00",
                               "Title " + std::to_string(i), name});
        }
        IndexDocumentHeader header;
        header.folder = folder().string();
        header.pattern = "*.*";
        EXPECT_TRUE(WriteIndexDocument(folder(), header, entries));
        IndexList list = ReadIndexDocument(document());
        rows = std::move(list.rows);
        readFrom = list.folder;
        EXPECT_EQ(rows.size(), static_cast<std::size_t>(n));
    }

    std::filesystem::path folder() const { return dir / "cache"; }
    std::filesystem::path document() const { return folder() / kIndexDocumentName; }
    bool has(int i) const { return std::filesystem::exists(folder() / ("f" + std::to_string(i))); }

    TestDir dir;
    WizardRows rows;
    FolderIdentity readFrom;
};

TEST(DeleteSelectedFiles, ConfirmationDecidesWhetherToDelete)
{
    using A = ConfirmDeleteAnswer;
    const struct
    {
        bool setting;
        ConfirmDeleteFn confirm;
        bool asked;
        bool deletes;
        bool storeOff;
    } cases[] = {
        {false, nullptr, false, true, false},
        {true, Answer(A::Yes), true, true, false},
        {true, Answer(A::Yes, true), true, true, true},
        {true, Answer(A::No), true, false, false},
        {true, Answer(A::No, true), true, false, true},
        {true, Answer(A::Dismissed, true), true, false, false}, // Esc or close box
        {true, nullptr, true, false, false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        IndexedFolder index(2);
        const std::string before = ReadWholeFile(index.document());
        // The dialog is counted where it is called: whether the run asked is what
        // the confirm function saw, not a flag the run could set without calling it.
        int shown = 0;
        const ConfirmDeleteFn counted = c.confirm ? ConfirmDeleteFn([&] {
            ++shown;
            return c.confirm();
        })
                                                  : nullptr;
        const DeleteOutcome out = DeleteSelectedFiles(index.document(), index.readFrom, index.rows,
                                                      {0}, c.setting, counted);
        EXPECT_EQ(shown, c.asked && c.confirm ? 1 : 0) << i;
        EXPECT_EQ(out.confirmed, c.deletes) << i;
        EXPECT_EQ(out.storeConfirmDeletionsOff, c.storeOff) << i;
        EXPECT_EQ(index.has(0), !c.deletes) << i;
        EXPECT_TRUE(index.has(1)) << i;
        EXPECT_EQ(out.removedRows,
                  c.deletes ? std::vector<std::size_t>{0} : std::vector<std::size_t>{})
            << i;
        EXPECT_EQ(out.rewritten, c.deletes) << i;
        if (!c.deletes) {
            EXPECT_EQ(ReadWholeFile(index.document()), before) << i;
        }
    }
}

TEST(DeleteSelectedFiles, RemovesDeletedRowsAndSelectsTheRowAfter)
{
    const struct
    {
        std::vector<std::size_t> selected;
        std::vector<std::size_t> removed;
        std::optional<std::size_t> select;
    } cases[] = {
        {{0}, {0}, 0},          // first row: the next row moves up into its place
        {{2}, {2}, 2},          // a later row: the one after it
        {{4}, {4}, 3},          // the last row: the new last row
        {{3, 1, 3}, {1, 3}, 2}, // several, any order: the row after the last deleted
        {{0, 1, 2, 3, 4}, {0, 1, 2, 3, 4}, std::nullopt},
        {{}, {}, std::nullopt},  // nothing selected: rows and selection stay
        {{7}, {}, std::nullopt}, // no such row
    };
    for (const auto& c : cases) {
        IndexedFolder index(5);
        std::vector<WizardRow> rows(index.rows.begin(), index.rows.end());
        const DeleteOutcome out =
            DeleteSelectedFiles(index.document(), index.readFrom, rows, c.selected, true, kYes);
        EXPECT_EQ(out.removedRows, c.removed);
        EXPECT_EQ(out.filesDeleted, c.removed.size());
        EXPECT_EQ(out.selectRow, c.select);
        RemoveDeletedRows(rows, out);
        EXPECT_EQ(rows.size(), 5 - c.removed.size());
        for (int i = 0; i < 5; ++i) {
            const bool removed = std::count(c.removed.begin(), c.removed.end(), i) > 0;
            EXPECT_EQ(index.has(i), !removed) << i;
        }
        // The rows left are the files left, in the same order, and a fresh read
        // of the rewritten document gives the same rows.
        const IndexList reread = ReadIndexDocument(index.document());
        ASSERT_EQ(reread.rows.size(), rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i)
            EXPECT_EQ(reread.rows[i].targetPath, rows[i].targetPath);
        EXPECT_TRUE(out.rewritten);
        ASSERT_TRUE(out.rewrite && out.rewrite->ok());
        EXPECT_EQ(out.rewrite->value().linesDropped, c.removed.size());
    }
}

TEST(DeleteSelectedFiles, NothingSelectedRewritesTheDocumentUnchanged)
{
    IndexedFolder index(3);
    const std::string before = ReadWholeFile(index.document());
    const DeleteOutcome out =
        DeleteSelectedFiles(index.document(), index.readFrom, index.rows, {}, true, kYes);
    EXPECT_TRUE(out.rewritten);
    EXPECT_EQ(ReadWholeFile(index.document()), before);
}

TEST(DeleteSelectedFiles, EmptyListEndsAfterTheConfirmation)
{
    IndexedFolder index(1);
    int calls = 0;
    const DeleteOutcome out = DeleteSelectedFiles(index.document(), index.readFrom, {}, {0}, true,
                                                  Answer(ConfirmDeleteAnswer::Yes, false, &calls));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(out.rewritten);
    EXPECT_FALSE(out.rewrite); // not tried, so no failure either
    EXPECT_TRUE(index.has(0));
}

TEST(DeleteSelectedFiles, NeverDeletesOutsideTheIndexedFolder)
{
    IndexedFolder index(1);
    const auto outside = index.dir.createFile("outside", "keep");
    const auto inSub = index.dir.createFile("cache/sub/inner", "keep");
    // A sibling whose name begins with the indexed folder's name ("cache").
    const auto sibling = index.dir.createFile("cache-2/f", "keep");
    std::filesystem::create_symlink(outside, index.folder() / "link-out");
    std::filesystem::create_symlink("sub/inner", index.folder() / "link-sub");
    std::filesystem::create_symlink("../cache-2/f", index.folder() / "link-sibling");
    std::filesystem::create_symlink(sibling, index.folder() / "link-sibling-abs");
    const std::string folder = index.folder().string();
    const std::string targets[] = {
        outside.string(),
        folder + "/../outside",
        inSub.string(),
        folder + "/sub",
        folder + "/link-out",
        folder + "/.",
        "f0",
        folder + "/link-sub",
        folder + "/link-sibling",
        folder + "/link-sibling-abs",
    };
    WizardRows rows;
    for (const std::string& target : targets)
        rows.add("row", target);
    const DeleteOutcome out = DeleteSelectedFiles(index.document(), index.readFrom, rows,
                                                  {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, false, nullptr);
    EXPECT_TRUE(out.removedRows.empty());
    EXPECT_EQ(out.notDeleted.size(), rows.size());
    for (const auto& [row, why] : out.notDeleted)
        EXPECT_EQ(why.code, kNotInFolder) << targets[row];
    EXPECT_FALSE(out.selectRow); // nothing went, so the selection stays
    EXPECT_EQ(ReadWholeFile(outside), "keep");
    EXPECT_EQ(ReadWholeFile(inSub), "keep");
    EXPECT_EQ(ReadWholeFile(sibling), "keep");
    for (const char* link : {"link-out", "link-sub", "link-sibling", "link-sibling-abs"})
        EXPECT_TRUE(std::filesystem::is_symlink(index.folder() / link)) << link;
    EXPECT_TRUE(index.has(0));
}

// While "Delete?" is on screen another user who can write the folder's parent
// renames the folder away and puts a link to, or the contents of, another folder
// with the same names in its place.
TEST(DeleteSelectedFiles, FolderSwappedAfterReadingIsLeftAlone)
{
    for (const bool asLink : {true, false}) {
        SCOPED_TRACE(asLink ? "a link in its place" : "another folder in its place");
        IndexedFolder index(3);
        const std::filesystem::path docs = index.dir / "docs";
        for (const char* name : {"f0", "f1", "f2", "!ndex.htm"})
            index.dir.createFile(std::string("docs/") + name, "mine");
        const ConfirmDeleteFn swapThenYes = [&] {
            std::filesystem::rename(index.folder(), index.dir / "away");
            if (asLink)
                std::filesystem::create_symlink(docs, index.folder());
            else
                std::filesystem::rename(docs, index.folder());
            return ConfirmDeleteReply{ConfirmDeleteAnswer::Yes, false};
        };
        const DeleteOutcome out = DeleteSelectedFiles(index.document(), index.readFrom, index.rows,
                                                      {0, 1, 2}, true, swapThenYes);
        // Nor does a rewrite told which folder the page belongs to touch the other page.
        const Result<RewriteSummary> rewrite =
            RewriteIndexDocument(index.document(), &index.readFrom);
        ASSERT_FALSE(rewrite);
        EXPECT_EQ(rewrite.error().code, kFolderReplaced);
        const std::filesystem::path now = asLink ? docs : index.folder();
        for (const char* name : {"f0", "f1", "f2", "!ndex.htm"})
            EXPECT_EQ(ReadWholeFile(now / name), "mine") << name;
        EXPECT_EQ(out.filesDeleted, 0u);
        EXPECT_TRUE(out.removedRows.empty());
        EXPECT_EQ(out.notDeleted.size(), 3u);
        for (const auto& [row, why] : out.notDeleted)
            EXPECT_EQ(why.code, kFolderReplaced) << row;
        EXPECT_FALSE(out.rewritten);
        for (const char* name : {"f0", "f1", "f2"})
            EXPECT_TRUE(std::filesystem::exists(index.dir / "away" / name)) << name;
    }
}

TEST(DeleteSelectedFiles, RowOfAFileThatStaysIsKept)
{
    IndexedFolder index(3);
    std::filesystem::remove(index.folder() / "f2"); // gone already: its row goes
    const std::string before = ReadWholeFile(index.document());
    if (!test::LockFolder(index.folder(), true))
        GTEST_SKIP() << "this file system cannot make a folder refuse changes";
    const DeleteOutcome out =
        DeleteSelectedFiles(index.document(), index.readFrom, index.rows, {0, 2}, false, nullptr);
    test::LockFolder(index.folder(), false);
    EXPECT_TRUE(index.has(0));
    EXPECT_EQ(out.removedRows, std::vector<std::size_t>{2});
    ASSERT_EQ(out.notDeleted.size(), 1u);
    EXPECT_EQ(out.notDeleted[0].first, 0u);
    EXPECT_GT(out.notDeleted[0].second.code, 0); // the system's refusal, not ours
    // The folder refuses changes, so the document cannot be replaced either; the
    // caller learns it and the old document is untouched.
    EXPECT_FALSE(out.rewritten);
    ASSERT_TRUE(out.rewrite);
    ASSERT_FALSE(out.rewrite->ok());
    EXPECT_FALSE(out.rewrite->error().message.empty());
    EXPECT_EQ(ReadWholeFile(index.document()), before);
}

// Names the page writes percent-encoded are deleted under their real names, and the
// rewrite tells a kept one from a gone one by its real name too.
TEST(DeleteSelectedFiles, NamesEncodedInThePage)
{
    TestDir dir;
    const std::vector<std::string> names = {"a,b", "100%", "c:d", "keep,%:"};
    std::vector<IndexEntry> entries;
    for (const std::string& name : names) {
        dir.createFile("cache/" + name, "x");
        entries.push_back({"2024/01/01 10:00:00", "Title", name});
    }
    const std::filesystem::path folder = dir / "cache";
    IndexDocumentHeader header;
    header.folder = folder.string();
    header.pattern = "*.*";
    ASSERT_TRUE(WriteIndexDocument(folder, header, entries));
    const IndexList list = ReadIndexDocument(folder / kIndexDocumentName);
    ASSERT_EQ(list.rows.size(), names.size());
    std::vector<std::size_t> doomed;
    for (std::size_t i = 0; i < list.rows.size(); ++i) {
        if (list.rows[i].targetPath != (folder / "keep,%:").string())
            doomed.push_back(i);
    }
    const DeleteOutcome out = DeleteSelectedFiles(folder / kIndexDocumentName, list.folder,
                                                  list.rows, doomed, false, nullptr);
    EXPECT_EQ(out.filesDeleted, 3u);
    EXPECT_TRUE(out.rewritten);
    ASSERT_TRUE(out.rewrite && out.rewrite->ok());
    EXPECT_EQ(out.rewrite->value().linesDropped, 3u);
    const IndexList reread = ReadIndexDocument(folder / kIndexDocumentName);
    ASSERT_EQ(reread.rows.size(), 1u);
    EXPECT_EQ(reread.rows[0].targetPath, (folder / "keep,%:").string());
}

TEST(RewriteIndexDocument, DropsLinesOfFilesThatAreGone)
{
    TestDir dir;
    dir.createFile("here", "x");
    dir.createDir("folder");
    const std::string kept[] = {
        "<HTML>",
        "<TD align=center width=150 height=150><a href=\"here\" target=new align=center>T</a>",
        "<a href=\"here\" target=new>x</a>",
        "<a href=\"folder\" target=new>x</a>",
        "<a href=\"../gone\" target=new>x</a>", // not a name of this folder: not judged
        "<a href=\"/gone\" target=new>x</a>",
        "<td align=center><a href=\"gone\" target=new>", // other letter case: copied
        "<a href=\"gone\" no closing marker",
        "<A HREF=http://example/>web site</a>",
        "<center><a href=#TOP><font size=-1>RETURN TO TOP</font></A></center>",
        "",
        "lone\rCR inside",
    };
    const std::string dropped[] = {
        "<TD align=center width=150 height=150><a href=\"gone\" target=new align=center>T</a>",
        "<TD align=center><a href=\"gone%2C%22\" target=new align=center alt=Image>",
        "<a href=\"gone\" target=new>x</a>",
    };
    std::string text;
    std::string expected;
    for (std::size_t i = 0; i < std::size(kept); ++i) {
        text += kept[i] + "\r\n";
        expected += kept[i] + "\r\n";
        if (i < std::size(dropped))
            text += dropped[i] + "\r\n";
    }
    text += "<a href=\"gone\" target=new>last line without an end";
    text += "\n" + std::string(kMaxIndexFieldBytes + 10, 'y') + "\r\nno CR\nend";
    expected += std::string(kMaxIndexFieldBytes + 10, 'y') + "\r\nno CR\r\nend\r\n";
    const auto doc = dir.createFile("!ndex.htm", text);
    ::chmod(doc.c_str(), 0640);

    const Result<RewriteSummary> result = RewriteIndexDocument(doc);
    ASSERT_TRUE(result) << result.error().message;
    EXPECT_EQ(result.value().linesDropped, std::size(dropped) + 1);
    EXPECT_EQ(ReadWholeFile(doc), expected);
    struct stat st
    {
    };
    ASSERT_EQ(::stat(doc.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // Nothing is left beside it: the files, the folder, the document.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
}

// The reader lists every piece between commas and CRs on its own, so one line may
// hold several entries; the line goes only with the last of them.
TEST(RewriteIndexDocument, LineWithSeveralEntriesGoesOnlyWhenAllAreGone)
{
    const auto cell = [](std::string_view name) {
        return "<TD align=center width=150 height=150><a href=\"" + std::string(name) +
               "\" target=new align=center>T</a><br><br><font size=-1>d</font></TD>";
    };
    const struct
    {
        std::string line;
        bool dropped;
    } cases[] = {
        {cell("here") + "," + cell("gone"), false},
        {cell("gone") + "," + cell("here"), false},
        {cell("gone") + "\r" + cell("here"), false},
        {cell("gone") + ",<a href=\"here\" target=new>x</a>", false},
        {cell("gone") + "," + cell("gone2"), true},
        {cell("gone") + "\r" + cell("gone2") + ",,", true},
        {cell("gone") + ",not an entry", true},
        {"not an entry," + cell("gone"), true},
        {"no entry,at all", false},
    };
    for (const auto& c : cases) {
        TestDir dir;
        dir.createFile("here", "x");
        const std::string text = "<HTML>\r\n" + c.line + "\r\n</HTML>\r\n";
        const auto doc = dir.createFile("!ndex.htm", text);
        const Result<RewriteSummary> result = RewriteIndexDocument(doc);
        ASSERT_TRUE(result) << result.error().message;
        EXPECT_EQ(ReadWholeFile(doc), c.dropped ? "<HTML>\r\n</HTML>\r\n" : text) << c.line;
        EXPECT_EQ(result.value().linesDropped, c.dropped ? 1u : 0u) << c.line;
    }
}

// A line too long to judge arrives over many reads and is copied through as it is,
// even with its CR at the end of one read and its LF at the start of the next.
TEST(RewriteIndexDocument, OverlongLinesSpreadOverManyReads)
{
    TestDir dir;
    const std::string gone = "<a href=\"gone\" target=new>";
    const std::size_t crAt = 20 * 65536 - 1; // the last byte of a 64 KiB read
    const std::string crLine = gone + std::string(crAt - gone.size(), 'y') + "\r";
    const std::string lfLine = gone + std::string(1'300'000, 'z');
    const std::string text =
        crLine + "\n" + gone + "x</a>\r\n" + lfLine + "\n" + gone + "x</a>\nend\r\n";
    const auto doc = dir.createFile("!ndex.htm", text);
    const Result<RewriteSummary> result = RewriteIndexDocument(doc);
    ASSERT_TRUE(result) << result.error().message;
    EXPECT_EQ(result.value().linesDropped, 2u);
    const std::string rewritten = ReadWholeFile(doc);
    EXPECT_EQ(rewritten.size(), crLine.size() + 1 + lfLine.size() + 2 + 5);
    EXPECT_TRUE(rewritten == crLine + "\n" + lfLine + "\r\nend\r\n");
}

TEST(RewriteIndexDocument, DocumentAboveTheByteLimitIsLeftAlone)
{
    TestDir dir;
    const auto doc = dir.createFile("!ndex.htm", "<a href=\"gone\" target=new>x</a>\r\n");
    // Sparse, so it costs nothing: one byte more than the limit.
    ASSERT_EQ(::truncate(doc.c_str(), static_cast<off_t>(kMaxIndexDocumentBytes) + 1), 0);
    const Result<RewriteSummary> result = RewriteIndexDocument(doc);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().code, kTooLarge);
    EXPECT_NE(result.error().message.find("not rewritten"), std::string::npos)
        << result.error().message;
    EXPECT_EQ(std::filesystem::file_size(doc), kMaxIndexDocumentBytes + 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// An index page that leads to a FIFO (or a device) is refused without being opened:
// opening alone can have effects. The kernel tells a watcher of every real open.
TEST(RewriteIndexDocument, PageThatIsNoFileIsNeverOpened)
{
    TestDir dir;
    const auto fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink(fifo, dir / "!ndex.htm");
    const int watcher = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watcher, 0);
    ASSERT_GE(::inotify_add_watch(watcher, fifo.c_str(), IN_OPEN), 0);

    EXPECT_EQ(ReadIndexDocument(dir / "!ndex.htm").status, IndexListStatus::Unreadable);
    EXPECT_FALSE(RewriteIndexDocument(dir / "!ndex.htm").ok());
    char events[4096];
    EXPECT_EQ(::read(watcher, events, sizeof events), -1) << "the FIFO was opened";
    ::close(watcher);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "!ndex.htm"));
}

TEST(RewriteIndexDocument, UnreadableDocumentIsReportedAndLeftAlone)
{
    TestDir dir;
    Result<RewriteSummary> result = RewriteIndexDocument(dir / "!ndex.htm");
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().code, ENOENT);
    EXPECT_NE(result.error().message.find("!ndex.htm"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    ASSERT_EQ(::mkfifo((dir / "!ndex.htm").c_str(), 0600), 0);
    result = RewriteIndexDocument(dir / "!ndex.htm");
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().code, kNotRegularFile);
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "!ndex.htm"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

} // namespace
} // namespace tessaloom
