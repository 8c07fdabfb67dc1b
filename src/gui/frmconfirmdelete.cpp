#include "gui/frmconfirmdelete.h"

#include "gui/programcontext.h"
#include "gui/windowops.h"
#include "shell/settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

namespace tessaloom::gui {

namespace {

// The dialog outlives each wizard window, so it has no parent; the program's
// quit (or a test) deletes what is left of it.
QPointer<frmConfirmDelete>& keptDialog()
{
    static QPointer<frmConfirmDelete> dialog;
    return dialog;
}

constexpr int kPlacedLeftTwips = 200;
constexpr int kPlacedTopTwips = 200;

// The gradient's drawing units: the client area's height taken as 512, filled by
// 257 bands of 2 units, band i red = i (the last one 255).
constexpr int kScaleHeight = 512;
constexpr int kBands = 257;
constexpr int kBandHeight = 2;

} // namespace

frmConfirmDelete::frmConfirmDelete()
{
    setObjectName(QStringLiteral("frmConfirmDelete"));
    setWindowTitle(QStringLiteral("Delete?"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_label1 = new QLabel(QStringLiteral("Delete all selected files now?"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_chkDoNotShowAgain = new QCheckBox(QStringLiteral("&Do not show this dialogue again."), this);
    m_chkDoNotShowAgain->setObjectName(QStringLiteral("chkDoNotShowAgain"));
    // Both buttons carry the control array's name; "index" tells them apart.
    m_yes = new QPushButton(QStringLiteral("&Yes"), this);
    m_yes->setObjectName(QStringLiteral("Command1"));
    m_yes->setProperty("index", 0);
    m_no = new QPushButton(QStringLiteral("&No"), this);
    m_no->setObjectName(QStringLiteral("Command1"));
    m_no->setProperty("index", 1);
    connect(m_yes, &QPushButton::clicked, this, [this] { Command1_Click(0); });
    connect(m_no, &QPushButton::clicked, this, [this] { Command1_Click(1); });

    // Light text: the background runs from black to red, where the usual dark
    // text would vanish.
    QPalette light = palette();
    light.setColor(QPalette::WindowText, Qt::white);
    m_label1->setPalette(light);
    m_chkDoNotShowAgain->setPalette(light);
    QFont bold = m_label1->font();
    bold.setBold(true);
    m_label1->setFont(bold);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_yes);
    buttons->addWidget(m_no);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addWidget(m_label1);
    layout->addSpacing(8);
    layout->addWidget(m_chkDoNotShowAgain);
    layout->addStretch();
    layout->addLayout(buttons);

    Form_Load();
}

void frmConfirmDelete::Form_Load()
{
    setFixedSize(sizeHint().expandedTo(QSize(320, 130)));
    WindowRect rect = WindowRectInTwips(this);
    rect.left = kPlacedLeftTwips;
    rect.top = kPlacedTopTwips;
    SetWindowRectInTwips(this, rect);
    paintGradient();
    m_yes->setFocus();
}

void frmConfirmDelete::paintGradient()
{
    const QSize size = this->size();
    if (size.isEmpty())
        return;
    m_background = QPixmap(size);
    m_background.fill(Qt::black);
    QPainter painter(&m_background);
    painter.setPen(Qt::NoPen);
    const double unit = static_cast<double>(size.height()) / kScaleHeight;
    for (int i = 0; i < kBands; ++i) {
        const int red = i < 256 ? i : 255;
        const int top = static_cast<int>(i * kBandHeight * unit);
        const int bottom = static_cast<int>((i + 1) * kBandHeight * unit + 0.999);
        painter.fillRect(QRect(0, top, size.width(), std::max(1, bottom - top)), QColor(red, 0, 0));
    }
}

void frmConfirmDelete::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
}

void frmConfirmDelete::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (m_background.size() != size())
        paintGradient();
}

ConfirmDeleteReply frmConfirmDelete::Ask(QWidget* owner)
{
    if (!keptDialog()) {
        keptDialog() = new frmConfirmDelete;
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, keptDialog(), &QObject::deleteLater);
    }
    frmConfirmDelete* dialog = keptDialog();
    dialog->m_reply = {};
    // Keep it above the wizard on the window manager's stack.
    if (owner && owner->window()->windowHandle()) {
        dialog->winId();
        dialog->windowHandle()->setTransientParent(owner->window()->windowHandle());
    }
    dialog->exec();
    const ConfirmDeleteReply reply = dialog->m_reply;
    if (reply.answer == ConfirmDeleteAnswer::Dismissed)
        delete dialog;
    return reply;
}

frmConfirmDelete* frmConfirmDelete::Kept()
{
    return keptDialog();
}

void frmConfirmDelete::Command1_Click(int index)
{
    gblDeleteConfirmed = index == 0;
    m_reply.answer = index == 0 ? ConfirmDeleteAnswer::Yes : ConfirmDeleteAnswer::No;
    m_reply.doNotShowAgain = m_chkDoNotShowAgain->isChecked();
    if (m_reply.doNotShowAgain)
        // The record follows either way, so this run asks no more; only the next
        // run would ask again.
        std::ignore = WriteConfirmDeletionsOff(Program().settings(), Program().settingsPath());
    done(QDialog::Accepted);
}

void frmConfirmDelete::reject()
{
    gblDeleteConfirmed = false;
    m_reply = {};
    QDialog::reject();
}

void frmConfirmDelete::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers chord =
        event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (chord == Qt::NoModifier && event->key() == Qt::Key_Y) {
        Command1_Click(0);
        return;
    }
    if (chord == Qt::NoModifier && event->key() == Qt::Key_N) {
        Command1_Click(1);
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace tessaloom::gui
