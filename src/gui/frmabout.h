#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QPushButton;

namespace tessaloom::gui {

/// `frmAbout`: product name, version and the way to the update check. Placed with
/// its centre on the main window's centre, wherever it is opened from.
class frmAbout final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmAbout)

public:
    /// `mainWindow` is the window to centre on and to show again on Ok.
    explicit frmAbout(QWidget* parent, QWidget* mainWindow);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createControls();
    void Form_Load();
    void Form_Activate();
    void BtnOk_Click();
    void btnCheckForUpdates_Click();

    QPointer<QWidget> m_mainWindow;
    QLabel* m_image2 = nullptr;
    QLabel* m_lblTitle = nullptr;
    QLabel* m_lblVersion = nullptr;
    QPushButton* m_btnCheckForUpdates = nullptr;
    QPushButton* m_BtnOk = nullptr;
    bool m_placed = false;
};

} // namespace tessaloom::gui
