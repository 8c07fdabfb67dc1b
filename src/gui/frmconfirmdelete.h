#pragma once

#include "wizard/deletefiles.h"

#include <QDialog>
#include <QPixmap>

class QCheckBox;
class QLabel;
class QPushButton;

namespace tessaloom::gui {

/// The answer of the last confirmation: true for Yes. False at program start. The
/// delete run acts on the reply that frmConfirmDelete::Ask returns, which says the
/// same and also how the check box was left.
inline bool gblDeleteConfirmed = false;

/// "Delete?": asks once more before the wizard deletes files. Created on first use
/// and kept hidden after Yes or No for the next delete run; Esc or the close box
/// destroy it.
class frmConfirmDelete final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmConfirmDelete)

public:
    /// Shows the dialog modally over `owner` (creating it when there is none kept)
    /// and returns how it was left; gblDeleteConfirmed holds the answer too. It
    /// stores nothing: the caller acts on the reply.
    static ConfirmDeleteReply Ask(QWidget* owner);

    /// The dialog kept hidden after Yes or No, or null.
    static frmConfirmDelete* Kept();

    /// Yes (index 0) or No (index 1).
    void Command1_Click(int index);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

public slots:
    /// Esc and the close box: No, without looking at the check box.
    void reject() override;

private:
    frmConfirmDelete();
    void Form_Load();
    void paintGradient();

    QLabel* m_label1 = nullptr;
    QCheckBox* m_chkDoNotShowAgain = nullptr;
    QPushButton* m_yes = nullptr;
    QPushButton* m_no = nullptr;
    QPixmap m_background; // kept so that the gradient survives repaints
    ConfirmDeleteReply m_reply;
};

} // namespace tessaloom::gui
