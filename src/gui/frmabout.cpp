#include "gui/frmabout.h"

#include "gui/programcontext.h"
#include "gui/programicon.h"
#include "gui/windowlaunch.h"
#include "gui/windowops.h"
#include "shell/version.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tessaloom::gui {

frmAbout::frmAbout(QWidget* parent, QWidget* mainWindow) : QDialog(parent), m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Tessaloom"));
    setModal(true);
    createControls();
    Form_Load();
}

void frmAbout::createControls()
{
    m_image2 = new QLabel(this);
    m_image2->setObjectName(QStringLiteral("Image2"));
    m_image2->setPixmap(ProgramPicture(64));
    m_image2->setFixedSize(64, 64);

    m_lblTitle = new QLabel(QStringLiteral("Tessaloom"), this);
    m_lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = m_lblTitle->font();
    titleFont.setPointSize(titleFont.pointSize() * 2);
    titleFont.setBold(true);
    m_lblTitle->setFont(titleFont);

    m_lblVersion = new QLabel(this);
    m_lblVersion->setObjectName(QStringLiteral("lblVersion"));

    auto* blurb = new QLabel(QStringLiteral("Looks into the disk caches of your web browsers: "
                                            "finds their folders, indexes one folder as a page "
                                            "for your browser, and deletes the cached files "
                                            "you pick."),
                             this);
    blurb->setObjectName(QStringLiteral("lblDescription"));
    blurb->setWordWrap(true);
    blurb->setFixedWidth(300);
    blurb->setFixedHeight(blurb->heightForWidth(300));

    m_btnCheckForUpdates = new QPushButton(QStringLiteral("Check for &Updates ..."), this);
    m_btnCheckForUpdates->setObjectName(QStringLiteral("btnCheckForUpdates"));
    connect(m_btnCheckForUpdates, &QPushButton::clicked, this,
            [this] { btnCheckForUpdates_Click(); });

    m_BtnOk = new QPushButton(QStringLiteral("&Ok"), this);
    m_BtnOk->setObjectName(QStringLiteral("BtnOk"));
    m_BtnOk->setDefault(true);
    connect(m_BtnOk, &QPushButton::clicked, this, [this] { BtnOk_Click(); });

    auto* texts = new QVBoxLayout;
    texts->addWidget(m_lblTitle);
    texts->addWidget(m_lblVersion);
    texts->addSpacing(8);
    texts->addWidget(blurb);

    auto* top = new QHBoxLayout;
    top->addWidget(m_image2, 0, Qt::AlignTop);
    top->addSpacing(16);
    top->addLayout(texts, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_btnCheckForUpdates);
    buttons->addStretch(1);
    buttons->addWidget(m_BtnOk);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void frmAbout::Form_Load()
{
    adjustSize();
    if (!m_mainWindow)
        return;
    // Centre on centre, in the frame geometry both windows are placed by. Run again
    // once shown, when the window system has given this window its frame.
    const QRect main = m_mainWindow->frameGeometry();
    const QRect own = frameGeometry();
    move(main.left() + main.width() / 2 - own.width() / 2,
         main.top() + main.height() / 2 - own.height() / 2);
}

void frmAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        Form_Load();
    }
    // The version is set on activation; make sure it is there from the first paint
    // also where the window system never activates the window.
    Form_Activate();
}

void frmAbout::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

void frmAbout::Form_Activate()
{
    const std::string& version = Program().startup.versionText;
    m_lblVersion->setText(QStringLiteral("Version ") +
                          QString::fromStdString(version.empty() ? VersionText() : version));
    m_BtnOk->update();
}

void frmAbout::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        BtnOk_Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmAbout::BtnOk_Click()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Opened over the still-open wizard, the main window stays hidden: shown now,
    // it would sit over a modal window that the user must finish first.
    const QWidget* openedFrom = parentWidget();
    const bool overAnotherWindow =
        openedFrom && openedFrom != m_mainWindow && openedFrom->isVisible();
    if (m_mainWindow && !m_mainWindow->isVisible() && !overAnotherWindow)
        m_mainWindow->show();
    SlideOut(this, QStringLiteral("UP"));
    accept();
    QApplication::restoreOverrideCursor();
}

void frmAbout::btnCheckForUpdates_Click()
{
    // Stays open unless the check ends the program, which happens inside it.
    CheckForUpdates(this);
}

void ShowAbout(QWidget* owner, QWidget* centreOn)
{
    frmAbout form(owner, centreOn ? centreOn : owner);
    form.exec();
}

} // namespace tessaloom::gui
