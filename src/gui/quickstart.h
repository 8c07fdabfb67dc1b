#pragma once

#include <QDialog>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

namespace tessaloom::gui {

/// `QuickStart`: the short introduction shown at start-up until the user ticks
/// "do not show again". Closing it, by the button or the close box, writes the
/// setting "Show Quick Start".
class QuickStart final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QuickStart)

public:
    explicit QuickStart(QWidget* parent = nullptr);

    /// The three texts of `Label1`, top to bottom.
    static QStringList InformationTexts();

    void done(int result) override;

protected:
    void changeEvent(QEvent* event) override;

private:
    void createControls();
    void placeAtOffset();
    void Form_Load();
    void Form_Activate();
    void Form_Unload();
    void btnCloseWindow_Click();

    QLabel* m_image2 = nullptr;
    QList<QLabel*> m_label1;
    QFrame* m_lblBottomSeparator = nullptr;
    QCheckBox* m_chkDoNotShowAgain = nullptr;
    QPushButton* m_btnCloseWindow = nullptr;
    bool m_slidIn = false;
    bool m_unloaded = false;
};

} // namespace tessaloom::gui
