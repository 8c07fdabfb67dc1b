// The windows' shared kit: the path and text conversion, twips placement, named
// menu items, the question and error boxes, the wait cursor.
#include "gui/waitcursor.h"
#include "gui/windowkit.h"

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QWidget>

#include <stdexcept>

using namespace tessaloom;
using namespace tessaloom::gui;

namespace {

struct Handler final : QObject
{
    int calls = 0;
    void run() { ++calls; }
};

} // namespace

class WindowKitTest final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { SetMessageAnswerer({}); }

    void pathsComeBackAsTheyWere()
    {
        // What a control shows of a path gives the same bytes back, also outside
        // ASCII and with the characters a shell would treat specially.
        for (const std::string path : {"", "/", "/tmp/caf\xc3\xa9/!ndex.htm", "/a b/*?[x]",
                                       "/\xe6\x97\xa5\xe6\x9c\xac/f_000001"})
            QCOMPARE(TextToPath(PathToText(path)), path);
        QCOMPARE(PathToText("/caf\xc3\xa9"), QStringLiteral("/caf\u00e9"));
        QCOMPARE(Utf8ToText(std::string_view("a\0b", 3)).size(), 3);
    }

    void twipsBothWays()
    {
        // 96 DPI: 15 twips a pixel; a negative size (a window too small for its
        // layout) is an empty control, never an invalid rectangle.
        QCOMPARE(RectInPixels({150, -30, 1500, -15}, 96), QRect(10, -2, 100, 0));
        const WindowRect back = RectInTwips(QRect(10, -2, 100, 1), 96);
        QVERIFY((back == WindowRect{150, -30, 1500, 15}));
        QWidget parent;
        auto* child = new QWidget(&parent);
        PlaceInTwips(child, {300, 450, 1440, 720}, 144);
        QCOMPARE(child->geometry(), QRect(30, 45, 144, 72));
    }

    void menuActionsAreNamedAndCallTheirHandler()
    {
        QMenu menu;
        Handler handler;
        QAction* plain =
            AddMenuAction(&menu, "MenuFileExit", QStringLiteral("E&xit"), &handler, &Handler::run);
        QAction* keyed = AddMenuAction(&menu, "MenuHelpContents", QStringLiteral("&Contents"),
                                       &handler, &Handler::run, QKeySequence(Qt::Key_F1));
        QCOMPARE(menu.findChild<QAction*>(QStringLiteral("MenuFileExit")), plain);
        QCOMPARE(plain->text(), QStringLiteral("E&xit"));
        QVERIFY(plain->shortcut().isEmpty());
        QCOMPARE(keyed->shortcut(), QKeySequence(Qt::Key_F1));
        QCOMPARE(keyed->shortcutContext(), Qt::WindowShortcut);
        QCOMPARE(menu.actions(), (QList<QAction*>{plain, keyed}));
        plain->trigger();
        keyed->trigger();
        QCOMPARE(handler.calls, 2);
    }

    void boxesGoThroughTheAnswerer()
    {
        QWidget owner;
        QList<MessageRequest> asked;
        MessageAnswer answer = MessageAnswer::Yes;
        SetMessageAnswerer([&](const MessageRequest& request) {
            asked << request;
            return answer;
        });
        QVERIFY(AskYesNo(&owner, QStringLiteral("T"), QStringLiteral("Q?")));
        answer = MessageAnswer::No;
        QVERIFY(!AskYesNo(nullptr, QStringLiteral("T"), QStringLiteral("Q?")));
        ShowErrorBox(&owner, {}, QStringLiteral("E"));
        ShowErrorBox(&owner, QStringLiteral("W"), QStringLiteral("E"), MessageIcon::Exclamation);
        QCOMPARE(asked.size(), 4);
        QCOMPARE(asked[0].parent, &owner);
        QCOMPARE(asked[1].parent, nullptr);
        for (int i : {0, 1}) {
            QCOMPARE(asked[i].icon, MessageIcon::Question);
            QCOMPARE(asked[i].buttons, MessageButtons::YesNo);
        }
        QCOMPARE(asked[2].icon, MessageIcon::Critical);
        QCOMPARE(asked[3].icon, MessageIcon::Exclamation);
        QCOMPARE(asked[3].buttons, MessageButtons::Ok);
        QCOMPARE(asked[3].title, QStringLiteral("W"));
    }

    void waitCursorIsGivenBackOnEveryWayOut()
    {
        QVERIFY(!QApplication::overrideCursor());
        {
            WaitCursor wait;
            QVERIFY(!QApplication::overrideCursor());
            wait.start();
            wait.start(); // once on, a second start stacks nothing
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
            wait.stop();
            QVERIFY(!QApplication::overrideCursor());
            wait.start();
        }
        QVERIFY(!QApplication::overrideCursor());
        try {
            WaitCursor wait(true);
            QVERIFY(QApplication::overrideCursor());
            throw std::runtime_error("step failed");
        } catch (const std::runtime_error&) {
        }
        QVERIFY(!QApplication::overrideCursor());
    }
};

QTEST_MAIN(WindowKitTest)
#include "windowkit_test.moc"
