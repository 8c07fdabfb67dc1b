// The View/Delete Wizard and its confirmation dialog, driven as a user would:
// menus, keys and the dialog's buttons, over a temporary folder of cached files.
#include "gui/frmabout.h"
#include "gui/frmconfirmdelete.h"
#include "gui/frmviewdeletewizard.h"
#include "gui/programcontext.h"
#include "gui/userprompts.h"
#include "gui/windowlaunch.h"
#include "indexer/indexdocument.h"
#include "shell/settings.h"
#include "wizard/indexpath.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

using namespace tessaloom;
using namespace tessaloom::gui;

namespace {

std::string ReadFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A folder of cached files f0..f(n-1) and the index the builder writes of them.
struct CacheFolder
{
    explicit CacheFolder(int n)
    {
        std::vector<IndexEntry> entries;
        for (int i = 0; i < n; ++i) {
            const std::string name = "f" + std::to_string(i);
            std::ofstream(folder() / name) << "cached " << i;
            entries.push_back({"2024/01/0" + std::to_string(i % 9 + 1) + " 10:00:00",
                               "Title " + std::to_string(i), name});
        }
        IndexDocumentHeader header;
        header.folder = folder().string();
        header.pattern = "*.*";
        written = WriteIndexDocument(folder(), header, entries).ok();
    }

    std::filesystem::path folder() const { return dir.path().toStdString(); }
    std::filesystem::path document() const { return folder() / kIndexDocumentName; }
    bool has(int i) const { return std::filesystem::exists(folder() / ("f" + std::to_string(i))); }
    /// The names of the files still there, as "0 2 3".
    QString surviving(int n) const
    {
        QStringList left;
        for (int i = 0; i < n; ++i)
            if (has(i))
                left << QString::number(i);
        return left.join(QLatin1Char(' '));
    }
    /// Entries the document names, as "0 2 3": whether the rewrite kept what it should.
    QString listed(int n) const
    {
        const std::string text = ReadFile(document());
        QStringList found;
        for (int i = 0; i < n; ++i)
            if (text.find("\"f" + std::to_string(i) + "\"") != std::string::npos)
                found << QString::number(i);
        return found.join(QLatin1Char(' '));
    }

    QTemporaryDir dir;
    bool written = false;
};

// Answers the confirmation dialog as soon as it is on the screen. Every delete
// run that should ask gets one; `shown` counts the dialogs answered.
class ConfirmAnswerer
{
public:
    using Act = std::function<void(frmConfirmDelete*)>;

    explicit ConfirmAnswerer(Act act) : m_act(std::move(act))
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            frmConfirmDelete* dialog = frmConfirmDelete::Kept();
            if (dialog && dialog->isVisible()) {
                ++shown;
                m_act(dialog);
            }
        });
        m_timer.start();
    }

    int shown = 0;

private:
    Act m_act;
    QTimer m_timer;
};

void PressKey(QWidget* dialog, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* target = dialog->focusWidget() ? dialog->focusWidget() : dialog;
    QTest::keyClick(target, key, modifiers);
}

QCheckBox* DoNotShowAgain(frmConfirmDelete* dialog)
{
    return dialog->findChild<QCheckBox*>(QStringLiteral("chkDoNotShowAgain"));
}

QAction* Menu(QWidget* window, const char* name)
{
    return window->findChild<QAction*>(QString::fromLatin1(name));
}

QList<int> Selection(const QListView* list)
{
    QList<int> rows;
    for (const QModelIndex& index : list->selectionModel()->selectedIndexes())
        if (index.column() == list->modelColumn())
            rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void Select(QListView* list, const QList<int>& rows)
{
    list->selectionModel()->clearSelection();
    for (const int row : rows)
        list->selectionModel()->select(list->model()->index(row, 0), QItemSelectionModel::Select);
}

} // namespace

class WizardWindowsTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_data;
    std::unique_ptr<CacheFolder> m_cache;
    std::unique_ptr<frmViewDeleteWizard> m_wizard;

    std::string settingsText() const { return ReadFile(Program().settingsPath()); }

    // A wizard over a fresh folder of `n` files, loaded as the main window opens it.
    frmViewDeleteWizard* openWizard(int n, bool confirmDeletions)
    {
        m_cache = std::make_unique<CacheFolder>(n);
        Program().settings().confirmDeletions = confirmDeletions;
        gblIndexPath.set(m_cache->document().string());
        m_wizard = std::make_unique<frmViewDeleteWizard>(nullptr);
        if (!m_wizard->Form_Load())
            return nullptr;
        m_wizard->show();
        return m_wizard.get();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        Program().startup.folders.settingsPath =
            (m_data.path() + QStringLiteral("/TSL.INI")).toStdString();
        Program().startup.folders.programFolder =
            (m_data.path() + QStringLiteral("/")).toStdString();
        SetMessageAnswerer([](const MessageRequest& request) {
            qFatal("unexpected message box: %s", qPrintable(request.text));
            return MessageAnswer::Ok;
        });
    }

    void init()
    {
        QFile::remove(QString::fromStdString(Program().settingsPath()));
        gblDeleteConfirmed = false;
        gblIndexPath.clear();
    }

    void cleanup()
    {
        m_wizard.reset();
        m_cache.reset();
        delete frmConfirmDelete::Kept();
        SetOpenFileAnswerer({});
    }

    // ---- frmConfirmDelete ----

    void confirmDialogKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<bool>("tick");
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<bool>("storedOff");

        QTest::newRow("Y") << int(Qt::Key_Y) << true << false << true << true << false;
        QTest::newRow("y") << int(Qt::Key_Y) << false << false << true << true << false;
        QTest::newRow("N") << int(Qt::Key_N) << true << false << false << true << false;
        QTest::newRow("n") << int(Qt::Key_N) << false << false << false << true << false;
        QTest::newRow("y, box ticked") << int(Qt::Key_Y) << false << true << true << true << true;
        QTest::newRow("n, box ticked") << int(Qt::Key_N) << false << true << false << true << true;
        QTest::newRow("Esc") << int(Qt::Key_Escape) << false << false << false << false << false;
        QTest::newRow("Esc, box ticked")
            << int(Qt::Key_Escape) << false << true << false << false << false;
    }

    void confirmDialogKeys()
    {
        QFETCH(int, key);
        QFETCH(bool, shift);
        QFETCH(bool, tick);
        QFETCH(bool, confirmed);
        QFETCH(bool, kept);
        QFETCH(bool, storedOff);

        // Asked by a delete run with nothing selected, which acts on the reply: the
        // dialog itself stores nothing.
        frmViewDeleteWizard* wizard = openWizard(1, true);
        QVERIFY(wizard);
        Program().settings().confirmDeletions = true;
        gblDeleteConfirmed = !confirmed; // the dialog must set it either way
        ConfirmAnswerer answerer([&](frmConfirmDelete* dialog) {
            DoNotShowAgain(dialog)->setChecked(tick);
            PressKey(dialog, Qt::Key(key), shift ? Qt::ShiftModifier : Qt::NoModifier);
        });
        wizard->MenuFileDeleteFiles_Click();

        QCOMPARE(answerer.shown, 1);
        QCOMPARE(gblDeleteConfirmed, confirmed);
        QCOMPARE(frmConfirmDelete::Kept() != nullptr, kept);
        if (kept)
            QVERIFY(frmConfirmDelete::Kept()->isHidden());
        QCOMPARE(Program().settings().confirmDeletions, !storedOff);
        QCOMPARE(settingsText().find("Confirm Deletions=False") != std::string::npos, storedOff);
    }

    void confirmDialogOnlyReportsTheBox()
    {
        // The reply is the one channel of the answer: the dialog alone writes
        // nothing, the run that asked does (confirmDialogKeys).
        Program().settings().confirmDeletions = true;
        ConfirmAnswerer ticked([](frmConfirmDelete* dialog) {
            DoNotShowAgain(dialog)->setChecked(true);
            PressKey(dialog, Qt::Key_N);
        });
        const ConfirmDeleteReply reply = frmConfirmDelete::Ask(nullptr);
        QCOMPARE(ticked.shown, 1);
        QVERIFY(reply.answer == ConfirmDeleteAnswer::No && reply.doNotShowAgain);
        QVERIFY(Program().settings().confirmDeletions);
        QVERIFY(settingsText().find("Confirm Deletions") == std::string::npos);
    }

    void confirmDialogIsKeptAfterYesAndMadeAnewAfterEsc()
    {
        ConfirmAnswerer yes([](frmConfirmDelete* dialog) { PressKey(dialog, Qt::Key_Y); });
        frmConfirmDelete::Ask(nullptr);
        QPointer<frmConfirmDelete> first = frmConfirmDelete::Kept();
        QVERIFY(first);
        frmConfirmDelete::Ask(nullptr);
        QCOMPARE(frmConfirmDelete::Kept(), first.data());
        QCOMPARE(yes.shown, 2);
    }

    void confirmDialogCloseBoxMeansNo()
    {
        Program().settings().confirmDeletions = true;
        // A Yes of an earlier run must not carry over into a run left by the close box.
        {
            ConfirmAnswerer yes([](frmConfirmDelete* dialog) { PressKey(dialog, Qt::Key_Y); });
            frmConfirmDelete::Ask(nullptr);
            QVERIFY(gblDeleteConfirmed);
        }
        ConfirmAnswerer closeBox([](frmConfirmDelete* dialog) {
            DoNotShowAgain(dialog)->setChecked(true);
            dialog->close();
        });
        const ConfirmDeleteReply reply = frmConfirmDelete::Ask(nullptr);
        QCOMPARE(closeBox.shown, 1);
        QVERIFY(reply.answer == ConfirmDeleteAnswer::Dismissed);
        QVERIFY(!gblDeleteConfirmed);
        QVERIFY(!frmConfirmDelete::Kept());
        QVERIFY(Program().settings().confirmDeletions);
        QVERIFY(settingsText().find("Confirm Deletions") == std::string::npos);
    }

    void confirmDialogLooks()
    {
        std::optional<QImage> image;
        QRect frame;
        QStringList texts;
        ConfirmAnswerer look([&](frmConfirmDelete* dialog) {
            image = dialog->grab().toImage();
            frame = dialog->frameGeometry();
            for (const QWidget* w : dialog->findChildren<QWidget*>())
                texts << w->objectName();
            PressKey(dialog, Qt::Key_N);
        });
        frmConfirmDelete::Ask(nullptr);
        QVERIFY(image);
        QCOMPARE(frmConfirmDelete::Kept()->windowTitle(), QStringLiteral("Delete?"));
        // 200 twips from the screen's corner.
        const int px =
            qRound(200 * frmConfirmDelete::Kept()->screen()->logicalDotsPerInch() / 1440);
        QCOMPARE(frame.topLeft(), QPoint(px, px));
        // Black at the top, red at the bottom, red growing down the window.
        const QColor top = image->pixelColor(2, 0);
        const QColor middle = image->pixelColor(2, image->height() / 2);
        const QColor bottom = image->pixelColor(2, image->height() - 1);
        QVERIFY2(top.red() < 8 && top.green() == 0 && top.blue() == 0, qPrintable(top.name()));
        QVERIFY2(qAbs(middle.red() - 128) < 8 && middle.green() == 0, qPrintable(middle.name()));
        QVERIFY2(bottom.red() > 248 && bottom.green() == 0, qPrintable(bottom.name()));
        QVERIFY(texts.contains(QStringLiteral("Label1")));
        QCOMPARE(texts.count(QStringLiteral("Command1")), 2);
    }

    // ---- frmViewDeleteWizard: reading and layout ----

    void loadFillsBothLists()
    {
        frmViewDeleteWizard* wizard = openWizard(3, false);
        QVERIFY(wizard);
        QCOMPARE(wizard->windowTitle(), QStringLiteral("View/Delete Wizard"));
        auto* list2 = wizard->findChild<QListView*>(QStringLiteral("List2"));
        QVERIFY(list2 && list2->isHidden());
        QCOMPARE(wizard->LstDisplay()->model()->rowCount(), 3);
        const QString shown = wizard->LstDisplay()->model()->index(1, 0).data().toString();
        QVERIFY2(shown.endsWith(QStringLiteral("\tTitle 1")), qPrintable(shown));
        QCOMPARE(shown.indexOf(QLatin1Char('\t')), 25);
        QCOMPARE(list2->model()->index(1, 1).data().toString(),
                 QString::fromStdString((m_cache->folder() / "f1").string()));
    }

    void menuCaptions()
    {
        frmViewDeleteWizard* wizard = openWizard(1, false);
        QVERIFY(wizard);
        const std::pair<const char*, const char*> captions[] = {
            {"MenuFileOpen", "&Open..."},
            {"MenuFileSelectAll", "&Select All Shown"},
            {"MenuFileDeleteFiles", "&Delete All Selected Items"},
            {"MenuFileCloseWin", "&Close Window"},
            {"MenuFileExit", "E&xit Program"},
            {"MenuHelpContents", "&Contents"},
            {"MenuHelpAbout", "&About..."},
        };
        for (const auto& [name, caption] : captions) {
            QAction* action = Menu(wizard, name);
            QVERIFY2(action, name);
            QCOMPARE(action->text(), QString::fromLatin1(caption));
        }
        QCOMPARE(Menu(wizard, "MenuHelpContents")->shortcut(), QKeySequence(Qt::Key_F1));
    }

    void keysSelectRows_data()
    {
        QTest::addColumn<QList<int>>("keys"); // key codes, Shift or Ctrl added
        QTest::addColumn<QList<int>>("selected");

        const int shift = int(Qt::ShiftModifier);
        const int ctrl = int(Qt::ControlModifier);
        QTest::newRow("Down") << QList<int>{Qt::Key_Down} << QList<int>{1};
        QTest::newRow("Down Down Up")
            << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Up} << QList<int>{1};
        QTest::newRow("Shift+Down twice")
            << QList<int>{Qt::Key_Down | shift, Qt::Key_Down | shift} << QList<int>{0, 1, 2};
        QTest::newRow("End") << QList<int>{Qt::Key_End} << QList<int>{4};
        QTest::newRow("Shift+End") << QList<int>{Qt::Key_End | shift} << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("Ctrl+Down Ctrl+Down Ctrl+Space")
            << QList<int>{Qt::Key_Down | ctrl, Qt::Key_Down | ctrl, Qt::Key_Space | ctrl}
            << QList<int>{0, 2};
        QTest::newRow("Ctrl+A") << QList<int>{Qt::Key_A | ctrl} << QList<int>{0, 1, 2, 3, 4};
    }

    void keysSelectRows()
    {
        QFETCH(QList<int>, keys);
        QFETCH(QList<int>, selected);
        frmViewDeleteWizard* wizard = openWizard(5, false);
        QVERIFY(wizard);
        QListView* list = wizard->LstDisplay();
        list->setFocus();
        list->selectionModel()->setCurrentIndex(list->model()->index(0, 0),
                                                QItemSelectionModel::ClearAndSelect);
        for (const int key : keys)
            QTest::keyClick(list, Qt::Key(key & ~Qt::KeyboardModifierMask),
                            Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        QCOMPARE(Selection(list), selected);
    }

    void resizeRuleAndVerySmallWindow()
    {
        frmViewDeleteWizard* wizard = openWizard(2, false);
        QVERIFY(wizard);
        const double dpi = wizard->screen()->logicalDotsPerInch();
        const auto px = [dpi](int twips) { return qRound(twips * dpi / 1440); };
        wizard->resize(500, 360);
        QListView* list = wizard->LstDisplay();
        const QRect frame = wizard->frameGeometry();
        QCOMPARE(list->pos(), QPoint(px(120), px(450)));
        QVERIFY(qAbs(list->width() - (frame.width() - px(300))) <= 1);
        QVERIFY(qAbs(list->height() - (frame.height() - px(1200))) <= 1);

        const QSize before = list->size();
        wizard->setMinimumSize(1, 1);
        wizard->resize(10, 10); // below both allowances: sizes refused, kept
        QCOMPARE(list->size(), before);
        QCOMPARE(list->pos(), QPoint(px(120), px(450)));
        wizard->resize(500, 40); // only the height is refused
        QCOMPARE(list->height(), before.height());
        QVERIFY(qAbs(list->width() - (wizard->frameGeometry().width() - px(300))) <= 1);
    }

    void placementSavedOnlyInNormalState()
    {
        frmViewDeleteWizard* wizard = openWizard(1, false);
        QVERIFY(wizard);
        wizard->showMaximized();
        QVERIFY(wizard->close());
        QVERIFY(settingsText().find("View/Delete Wizard=") == std::string::npos);

        wizard = openWizard(1, false);
        QVERIFY(wizard);
        wizard->move(120, 90);
        QVERIFY(wizard->close());
        QVERIFY(wizard->isUnloaded());
        QVERIFY(settingsText().find("View/Delete Wizard=") != std::string::npos);
        const QRect saved = wizard->frameGeometry();

        // The next opening comes back where this one was closed.
        wizard = openWizard(1, false);
        QVERIFY(wizard);
        QCOMPARE(wizard->frameGeometry().topLeft(), saved.topLeft());
    }

    // ---- the Open loop ----

    void openLoopAsksUntilAFileExists()
    {
        m_cache = std::make_unique<CacheFolder>(2);
        QTemporaryDir elsewhere; // the main window's folder, without an index
        const QString before = QDir::currentPath();
        QDir::setCurrent(elsewhere.path());
        const auto restore = qScopeGuard([&] { QDir::setCurrent(before); });

        QList<OpenFileRequest> asked;
        QStringList answers{elsewhere.path() + QStringLiteral("/missing.htm"),
                            QString::fromStdString(m_cache->document().string())};
        SetOpenFileAnswerer([&](const OpenFileRequest& request) {
            asked << request;
            return answers.isEmpty() ? QString() : answers.takeFirst();
        });
        QList<MessageRequest> messages;
        SetMessageAnswerer([&](const MessageRequest& request) {
            messages << request;
            return MessageAnswer::Ok;
        });
        const auto quiet = qScopeGuard([] { SetMessageAnswerer({}); });

        m_wizard = std::make_unique<frmViewDeleteWizard>(nullptr);
        QVERIFY(m_wizard->Form_Load());
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked[0].folder, QDir(elsewhere.path()).absolutePath());
        QCOMPARE(asked[0].filter, QStringLiteral("All Files (*.*);;TSL Index Files (!ndex.htm)"));
        QCOMPARE(asked[0].selectedFilter, QStringLiteral("TSL Index Files (!ndex.htm)"));
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].text, QStringLiteral("File not found"));
        QCOMPARE(messages[0].title, QStringLiteral("FILE NOT FOUND"));
        QCOMPARE(messages[0].icon, MessageIcon::Critical);
        QCOMPARE(messages[0].buttons, MessageButtons::Ok);
        QCOMPARE(m_wizard->rowModel()->rowCount(), 2);
        QCOMPARE(QString::fromStdString(gblIndexPath.text()),
                 QString::fromStdString(m_cache->document().string()));

        // From the menu: a missing name, then Cancel closes the wizard.
        answers = {elsewhere.path() + QStringLiteral("/missing.htm")};
        m_wizard->show();
        Menu(m_wizard.get(), "MenuFileOpen")->trigger();
        QCOMPARE(messages.size(), 2);
        QVERIFY(m_wizard->isUnloaded());
        QVERIFY(!m_wizard->isVisible());
        QVERIFY(m_cache->has(0) && m_cache->has(1));
    }

    void cancelledOpenAtLoadKeepsTheWizardClosed()
    {
        QTemporaryDir elsewhere;
        const QString before = QDir::currentPath();
        QDir::setCurrent(elsewhere.path());
        const auto restore = qScopeGuard([&] { QDir::setCurrent(before); });
        int asked = 0;
        SetOpenFileAnswerer([&](const OpenFileRequest&) {
            ++asked;
            return QString();
        });
        m_wizard = std::make_unique<frmViewDeleteWizard>(nullptr);
        QVERIFY(!m_wizard->Form_Load());
        QCOMPARE(asked, 1);
        QVERIFY(gblIndexPath.empty());
    }

    // ---- deleting ----

    void deleteRows_data()
    {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QString>("left");  // files on disk afterwards
        QTest::addColumn<int>("rowsAfter"); // rows in the list afterwards
        QTest::addColumn<QList<int>>("selectedAfter");

        QTest::newRow("nothing selected") << QList<int>{} << "0 1 2 3 4" << 5 << QList<int>{};
        QTest::newRow("first row alone") << QList<int>{0} << "1 2 3 4" << 4 << QList<int>{0};
        QTest::newRow("a later row alone") << QList<int>{2} << "0 1 3 4" << 4 << QList<int>{2};
        QTest::newRow("the last row alone") << QList<int>{4} << "0 1 2 3" << 4 << QList<int>{3};
        QTest::newRow("two rows") << QList<int>{1, 3} << "0 2 4" << 3 << QList<int>{2};
        QTest::newRow("every row") << QList<int>{0, 1, 2, 3, 4} << "" << 0 << QList<int>{};
    }

    void deleteRows()
    {
        QFETCH(QList<int>, selected);
        QFETCH(QString, left);
        QFETCH(int, rowsAfter);
        QFETCH(QList<int>, selectedAfter);

        frmViewDeleteWizard* wizard = openWizard(5, true);
        QVERIFY(wizard);
        const std::string documentBefore = ReadFile(m_cache->document());
        Select(wizard->LstDisplay(), selected);
        ConfirmAnswerer yes([](frmConfirmDelete* dialog) {
            QTest::mouseClick(dialog->findChildren<QPushButton*>(QStringLiteral("Command1"))[0],
                              Qt::LeftButton);
        });
        Menu(wizard, "MenuFileDeleteFiles")->trigger();

        QCOMPARE(yes.shown, 1);
        QCOMPARE(m_cache->surviving(5), left);
        QCOMPARE(m_cache->listed(5), left);
        QCOMPARE(wizard->rowModel()->rowCount(), rowsAfter);
        QCOMPARE(Selection(wizard->LstDisplay()), selectedAfter);
        if (selected.isEmpty())
            QCOMPARE(ReadFile(m_cache->document()), documentBefore);
        // The rows left are exactly those whose files are left, in order.
        QStringList shown;
        for (const WizardRow& row : wizard->rowModel()->rows())
            shown << QString::fromUtf8(row.targetPath).section(QLatin1Char('f'), -1);
        QCOMPARE(shown.join(QLatin1Char(' ')), left);
    }

    // A file that cannot go stays in the list and on the page, and the user is told
    // which and why instead of the run passing for a clean delete.
    void filesThatStayAreReported()
    {
        frmViewDeleteWizard* wizard = openWizard(5, false);
        QVERIFY(wizard);
        const std::filesystem::path stuck = m_cache->folder() / "f2";
        std::filesystem::remove(stuck);
        std::filesystem::create_directory(stuck); // no longer a plain file: never deleted
        QStringList told;
        SetMessageAnswerer([&](const MessageRequest& request) {
            told << request.title + QLatin1Char('|') + request.text;
            return MessageAnswer::Ok;
        });
        const auto quiet = qScopeGuard([] {
            SetMessageAnswerer([](const MessageRequest& request) {
                qFatal("unexpected message box: %s", qPrintable(request.text));
                return MessageAnswer::Ok;
            });
        });
        Select(wizard->LstDisplay(), {1, 2});
        Menu(wizard, "MenuFileDeleteFiles")->trigger();

        QCOMPARE(m_cache->surviving(5), QStringLiteral("0 2 3 4"));
        QCOMPARE(m_cache->listed(5), QStringLiteral("0 2 3 4"));
        QCOMPARE(wizard->rowModel()->rowCount(), 4);
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].startsWith(
                     QStringLiteral("Delete Problems|1 file could not be deleted:\nf2: ")),
                 qPrintable(told[0]));
        // The file is named once, not by its name and then again by its path.
        QVERIFY2(!told[0].contains(QString::fromStdString(m_cache->folder().string())),
                 qPrintable(told[0]));
    }

    void doNotShowAgainThenNo()
    {
        frmViewDeleteWizard* wizard = openWizard(3, true);
        QVERIFY(wizard);
        Select(wizard->LstDisplay(), {1});
        {
            ConfirmAnswerer no([](frmConfirmDelete* dialog) {
                QTest::mouseClick(DoNotShowAgain(dialog), Qt::LeftButton);
                PressKey(dialog, Qt::Key_N);
            });
            Menu(wizard, "MenuFileDeleteFiles")->trigger();
            QCOMPARE(no.shown, 1);
        }
        QCOMPARE(m_cache->surviving(3), QStringLiteral("0 1 2"));
        QCOMPARE(wizard->rowModel()->rowCount(), 3);
        QVERIFY(settingsText().find("Confirm Deletions=False") != std::string::npos);

        // The next run deletes without asking.
        ConfirmAnswerer never([](frmConfirmDelete* dialog) { PressKey(dialog, Qt::Key_N); });
        Select(wizard->LstDisplay(), {1});
        Menu(wizard, "MenuFileDeleteFiles")->trigger();
        QCOMPARE(never.shown, 0);
        QCOMPARE(m_cache->surviving(3), QStringLiteral("0 2"));
        QCOMPARE(m_cache->listed(3), QStringLiteral("0 2"));
    }

    void escWithTheBoxTicked()
    {
        frmViewDeleteWizard* wizard = openWizard(3, true);
        QVERIFY(wizard);
        Select(wizard->LstDisplay(), {0, 2});
        {
            ConfirmAnswerer esc([](frmConfirmDelete* dialog) {
                DoNotShowAgain(dialog)->setChecked(true);
                PressKey(dialog, Qt::Key_Escape);
            });
            Menu(wizard, "MenuFileDeleteFiles")->trigger();
            QCOMPARE(esc.shown, 1);
        }
        QCOMPARE(m_cache->surviving(3), QStringLiteral("0 1 2"));
        QCOMPARE(Selection(wizard->LstDisplay()), (QList<int>{0, 2}));
        QVERIFY(Program().settings().confirmDeletions);
        QVERIFY(settingsText().find("Confirm Deletions") == std::string::npos);

        // Still asks, with a fresh dialog whose box is unticked.
        bool ticked = true;
        ConfirmAnswerer again([&](frmConfirmDelete* dialog) {
            ticked = DoNotShowAgain(dialog)->isChecked();
            PressKey(dialog, Qt::Key_Y);
        });
        Menu(wizard, "MenuFileDeleteFiles")->trigger();
        QCOMPARE(again.shown, 1);
        QVERIFY(!ticked);
        QCOMPARE(m_cache->surviving(3), QStringLiteral("1"));
    }

    void selectAllShownAsksFirst_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("left");

        QTest::newRow("No keeps everything, selected") << 4 << false << "0 1 2 3";
        QTest::newRow("Yes deletes everything") << 4 << true << "";
        QTest::newRow("empty list still asks") << 0 << true << "";
    }

    void selectAllShownAsksFirst()
    {
        QFETCH(int, rows);
        QFETCH(bool, yes);
        QFETCH(QString, left);

        frmViewDeleteWizard* wizard = openWizard(rows, false);
        QVERIFY(wizard);
        QList<MessageRequest> asked;
        QList<int> selectedWhenAsked;
        SetMessageAnswerer([&](const MessageRequest& request) {
            asked << request;
            selectedWhenAsked = Selection(wizard->LstDisplay());
            return yes ? MessageAnswer::Yes : MessageAnswer::No;
        });
        const auto quiet = qScopeGuard([] { SetMessageAnswerer({}); });
        Menu(wizard, "MenuFileSelectAll")->trigger();

        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].title, QStringLiteral("Deleted All Selected Files"));
        QCOMPARE(asked[0].text, QStringLiteral("Delete all selected files now?"));
        QCOMPARE(asked[0].icon, MessageIcon::Question);
        QCOMPARE(asked[0].buttons, MessageButtons::YesNo);
        QList<int> all;
        for (int i = 0; i < rows; ++i)
            all << i;
        QCOMPARE(selectedWhenAsked, all);
        QCOMPARE(m_cache->surviving(rows), left);
        QCOMPARE(m_cache->listed(rows), left);
        if (!yes)
            QCOMPARE(Selection(wizard->LstDisplay()), all);
        else
            QCOMPARE(wizard->rowModel()->rowCount(), 0);
    }

    // ---- closing ----

    void exitProgramClosesTheMainWindow()
    {
        struct MainWindow : QWidget
        {
            int closes = 0;
            void closeEvent(QCloseEvent* event) override
            {
                ++closes;
                event->accept();
            }
        } main;
        m_cache = std::make_unique<CacheFolder>(1);
        gblIndexPath.set(m_cache->document().string());
        m_wizard = std::make_unique<frmViewDeleteWizard>(&main);
        QVERIFY(m_wizard->Form_Load());
        m_wizard->show();
        Menu(m_wizard.get(), "MenuFileExit")->trigger();
        QCOMPARE(main.closes, 1);
        QVERIFY(m_wizard->isUnloaded());
        // The wizard ends with the process: its own closing steps do not run.
        QVERIFY(settingsText().find("View/Delete Wizard=") == std::string::npos);
        m_wizard.reset(); // before its parent goes
    }

    void aboutFromTheWizardLeavesTheMainWindowHidden()
    {
        QWidget main; // hidden while the wizard is open
        m_cache = std::make_unique<CacheFolder>(1);
        gblIndexPath.set(m_cache->document().string());
        m_wizard = std::make_unique<frmViewDeleteWizard>(&main);
        QVERIFY(m_wizard->Form_Load());
        m_wizard->show();
        bool aboutSeen = false;
        QTimer okClicker;
        okClicker.setInterval(5);
        QObject::connect(&okClicker, &QTimer::timeout, [&] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                auto* about = qobject_cast<frmAbout*>(window);
                if (about && about->isVisible()) {
                    aboutSeen = true;
                    about->findChild<QPushButton*>(QStringLiteral("BtnOk"))->click();
                }
            }
        });
        okClicker.start();
        Menu(m_wizard.get(), "MenuHelpAbout")->trigger();
        QVERIFY(aboutSeen);
        QVERIFY(!main.isVisible());
        QVERIFY(m_wizard->isVisible());
        m_wizard.reset(); // before its parent goes
    }

    void realBoxesShowTheirWholeTitle()
    {
        // The title bar is as wide as the box: beside the title it holds the
        // window's icon and buttons, at least a hundred pixels under any desktop.
        SetMessageAnswerer({});
        const auto quiet = qScopeGuard([] {
            SetMessageAnswerer([](const MessageRequest& request) {
                qFatal("unexpected message box: %s", qPrintable(request.text));
                return MessageAnswer::Ok;
            });
        });
        int width = 0;
        int needed = 0;
        QTimer answerer;
        answerer.setInterval(5);
        QObject::connect(&answerer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            QFont bold = box->font();
            bold.setBold(true);
            needed = QFontMetrics(bold).horizontalAdvance(box->windowTitle()) + 100;
            width = box->frameGeometry().width();
            box->button(QMessageBox::No)->click();
        });
        answerer.start();
        ShowMessage({nullptr, QStringLiteral("Deleted All Selected Files"),
                     QStringLiteral("Delete all selected files now?"), MessageIcon::Question,
                     MessageButtons::YesNo});
        QVERIFY(needed > 100);
        QVERIFY2(width >= needed, qPrintable(QStringLiteral("%1 < %2").arg(width).arg(needed)));
    }

    void shownModallyUntilClosed()
    {
        m_cache = std::make_unique<CacheFolder>(2);
        gblIndexPath.set(m_cache->document().string());
        int rowsSeen = -1;
        QTimer closer;
        closer.setInterval(5);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                auto* wizard = qobject_cast<frmViewDeleteWizard*>(window);
                if (wizard && wizard->isVisible()) {
                    rowsSeen = wizard->rowModel()->rowCount();
                    Menu(wizard, "MenuFileCloseWin")->trigger();
                }
            }
        });
        closer.start();
        ShowViewDeleteWizard(nullptr);
        QCOMPARE(rowsSeen, 2);
        for (QWidget* window : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<frmViewDeleteWizard*>(window));
    }

    void helpContentsByMenuAndF1()
    {
        frmViewDeleteWizard* wizard = openWizard(1, false);
        QVERIFY(wizard);
        QStringList opened;
        SetShellOpener([&](const QString& target) {
            opened << target;
            return true;
        });
        const auto restore = qScopeGuard([] { SetShellOpener({}); });
        Menu(wizard, "MenuHelpContents")->trigger();
        wizard->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(wizard));
        QTest::keyClick(wizard->LstDisplay(), Qt::Key_F1);
        QCOMPARE(opened.size(), 2);
        QVERIFY2(opened[0].endsWith(QStringLiteral("help/index.html")), qPrintable(opened[0]));
        QCOMPARE(opened[1], opened[0]);
    }

    void closeWindowLeavesFilesAlone()
    {
        frmViewDeleteWizard* wizard = openWizard(2, false);
        QVERIFY(wizard);
        Select(wizard->LstDisplay(), {0, 1});
        Menu(wizard, "MenuFileCloseWin")->trigger();
        QVERIFY(wizard->isUnloaded());
        QCOMPARE(m_cache->surviving(2), QStringLiteral("0 1"));
    }
};

QTEST_MAIN(WizardWindowsTest)
#include "wizardwindows_test.moc"
