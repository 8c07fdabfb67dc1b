#include "gui/quickstart.h"

#include "gui/programcontext.h"
#include "gui/programicon.h"
#include "gui/windowlaunch.h"
#include "gui/windowops.h"
#include "shell/placement.h"
#include "shell/settings.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tessaloom::gui {

namespace {

constexpr int kFormOffsetTwips = 100;
constexpr int kTextWidth = 480;

} // namespace

QuickStart::QuickStart(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("QuickStart"));
    setWindowTitle(QStringLiteral("Quick Start"));
    setModal(true);
    createControls();
    Form_Load();
}

QStringList QuickStart::InformationTexts()
{
    return {
        QStringLiteral("The Tessaloom is very easy to use: just point to the cache folder you "
                       "want to examine, then select \"Create Index File\".  Other options are "
                       "also available and presented on the main screen."),
        QStringLiteral("As an added convenience, the program can search for likely locations of "
                       "all the cache folders on the system.  You will be prompted to do this "
                       "automatically if no suggested folders are currently listed (such as when "
                       "the program is run for the 1st time).  You can select \"Refresh\" to "
                       "have this done again if you suspect the locations have changed since the "
                       "last time the system was searched."),
        QStringLiteral("To view the details of a cached file, just click on the title.  For your "
                       "convenience, the file will open in a separate browser window so that you "
                       "may easily close that window and return to where you were in the "
                       "original index list.  This process is also much faster since the browser "
                       "does not have to reload the index page again."),
    };
}

void QuickStart::createControls()
{
    m_image2 = new QLabel(this);
    m_image2->setObjectName(QStringLiteral("Image2"));
    m_image2->setPixmap(ProgramPicture(32));
    m_image2->setFixedSize(32, 32);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(12);
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSize(10);
    for (const QString& text : InformationTexts()) {
        auto* label = new QLabel(text, this);
        // One control array: every element has the same name, in order top to bottom.
        label->setObjectName(QStringLiteral("Label1"));
        label->setProperty("index", static_cast<int>(m_label1.size()));
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setFont(arial);
        // A wrapped label's own size hint assumes some other width; fix both, so no
        // line of the texts is cut off whatever the font.
        label->setFixedWidth(kTextWidth);
        label->setFixedHeight(label->heightForWidth(kTextWidth));
        texts->addWidget(label);
        m_label1.append(label);
    }

    auto* top = new QHBoxLayout;
    top->addWidget(m_image2, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(texts, 1);

    m_lblBottomSeparator = new QFrame(this);
    m_lblBottomSeparator->setObjectName(QStringLiteral("lblBottomSeparator"));
    m_lblBottomSeparator->setFrameShape(QFrame::HLine);
    m_lblBottomSeparator->setFrameShadow(QFrame::Sunken);

    m_chkDoNotShowAgain = new QCheckBox(
        QStringLiteral("Do not &show this \"Quick Start\" information automatically at startup.."),
        this);
    m_chkDoNotShowAgain->setObjectName(QStringLiteral("chkDoNotShowAgain"));

    m_btnCloseWindow = new QPushButton(QStringLiteral("&Close"), this);
    m_btnCloseWindow->setObjectName(QStringLiteral("btnCloseWindow"));
    m_btnCloseWindow->setDefault(true);
    connect(m_btnCloseWindow, &QPushButton::clicked, this, [this] { btnCloseWindow_Click(); });

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_chkDoNotShowAgain, 1);
    bottom->addWidget(m_btnCloseWindow);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_lblBottomSeparator);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void QuickStart::placeAtOffset()
{
    WindowRect rect = WindowRectInTwips(this);
    rect.left = kFormOffsetTwips;
    rect.top = kFormOffsetTwips;
    SetWindowRectInTwips(this, rect);
}

void QuickStart::Form_Load()
{
    adjustSize();
    placeAtOffset();
    m_chkDoNotShowAgain->setChecked(!Program().settings().showQuickStart);
}

void QuickStart::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // Activation comes after the window manager has framed the window, so the
    // placement can take the frame into account. The slide plays once a showing.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_slidIn) {
        m_slidIn = true;
        QTimer::singleShot(0, this, [this] { Form_Activate(); });
    }
}

void QuickStart::Form_Activate()
{
    if (!isVisible())
        return;
    // Placed again now that the frame is known: before, the offset would put the
    // client area there and the title bar off the screen.
    placeAtOffset();
    SlideIn(this, QStringLiteral("DOWN"));
}

void QuickStart::btnCloseWindow_Click()
{
    SlideOut(this, QStringLiteral("LEFT"));
    accept();
}

void QuickStart::done(int result)
{
    // Every way out of the window (button, close box, Esc) ends here.
    Form_Unload();
    QDialog::done(result);
}

void QuickStart::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    // Written at every closing, changed or not; a failed write keeps the record as
    // chosen for the rest of the run.
    std::ignore = WriteQuickStartClosing(m_chkDoNotShowAgain->isChecked(), Program().settings(),
                                         Program().settingsPath());
}

void ShowQuickStart(QWidget* owner)
{
    QuickStart form(owner);
    form.exec();
}

} // namespace tessaloom::gui
