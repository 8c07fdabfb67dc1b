#pragma once

#include "indexer/indexbuild.h"

#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class QLabel;
class QPushButton;

namespace tessaloom::gui {

/// The least time between two showings of the per-file texts: about what the eye
/// follows. More often only costs a run over many small files its speed.
inline constexpr std::chrono::milliseconds kReportInterval{33};

/// `StatusForm`: the progress window of an index build. It shows what the run
/// reports and holds the run's cancel request, which is its Cancel button's own
/// visibility. Its width stays at 9,500 twips whatever the user does.
class StatusForm final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusForm)

public:
    explicit StatusForm(QWidget* parent = nullptr);
    ~StatusForm() override;

    /// Opening: the "ClickBg.wav" sound, centred on the screen, shown (not modal),
    /// the filled bar empty.
    void open();

    /// The file report's texts, at once when the window has shown none for
    /// `kReportInterval` or when it is the run's last file; otherwise kept, and the
    /// latest kept one is shown when the interval is up (or at `showPendingReports`).
    void showFileReport(const FileReport& report);
    /// The percentage as the caption while minimised (the task bar shows it), else
    /// the product name.
    void showWindowTitle(std::string_view percentText);
    /// Bar, filter counts and a step of the animation.
    void showTimedReport(const TimedReport& report);
    /// Held back like the file reports, but shown at once after the last file's.
    void showLastTitle(std::string_view text);
    /// Shows what is kept back now: before a question over the window, or its hiding.
    void showPendingReports();

    /// True once the user has clicked Cancel (the button has hidden itself).
    bool cancelRequested() const;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void createControls();
    void placeControls();
    void holdWidth();
    void setFilledBarWidth(int twips);
    void btnCancel_Click();
    std::int64_t sinceShownMs() const;
    void markShown();
    bool dueToShow() const;
    void applyFileReport(const FileReport& report);
    void applyLastTitle(std::string_view text);
    void keepUntilDue();

    QLabel* m_readingEntry = nullptr;
    QLabel* m_lblPath = nullptr;
    QLabel* m_lblFile = nullptr;
    QLabel* m_totalComplete = nullptr;
    QLabel* m_lblImagesFiltered = nullptr;
    QLabel* m_lblBinaryFilesFiltered = nullptr;
    QLabel* m_lblLastTitleFound = nullptr;
    QLabel* m_lblUnfilledStatus = nullptr;
    QLabel* m_lblFilledStatus = nullptr;
    QLabel* m_imgSearching = nullptr;
    QLabel* m_imgFound = nullptr;
    QPushButton* m_btnCancel = nullptr;
    QString m_pathText;    // lblPath's whole text; the label may show it shortened
    int m_filledWidth = 0; // twips
    bool m_holdingWidth = false;
    // When per-file texts were last put on the labels (asked for every file, so on
    // the cheap coarse clock).
    std::int64_t m_shownAtMs = 0;
    bool m_shownOnce = false;
    QTimer m_showTimer; // shows the kept reports once the interval is up
    FileReport m_pendingFile;
    bool m_filePending = false;
    std::string m_pendingTitle;
    bool m_titlePending = false;
    bool m_lastFileShown = false; // the run's last file report is on the labels
    // What the caption was made from, so that an unchanged report leaves it alone.
    std::string m_titlePercent;
    bool m_titleMinimized = false;
    bool m_titleShown = false;
};

/// The build run's progress listener: opens a `StatusForm` at the first report,
/// opens a fresh one at the next report after the user closed it with its close
/// box (closing is not cancelling), asks the keep-partial-index question over it,
/// and unloads it when the run closes it.
class StatusFormListener final : public IndexProgressListener
{
public:
    StatusFormListener();
    ~StatusFormListener() override;
    StatusFormListener(const StatusFormListener&) = delete;
    StatusFormListener& operator=(const StatusFormListener&) = delete;

    /// The open window, or null before the first report and after the close.
    StatusForm* form() const { return m_form.get(); }

    void fileReport(const FileReport& report) override;
    void windowTitleReport(std::string_view percentText) override;
    void timedReport(const TimedReport& report) override;
    bool cancelRequested() override;
    bool keepPartialIndex() override;
    void lastTitleReport(std::string_view text) override;
    void close() override;

private:
    StatusForm& openForm();

    std::unique_ptr<StatusForm> m_form;
};

} // namespace tessaloom::gui
