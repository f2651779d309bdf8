// frmProgress: the window an extraction of the archive browser shows while it
// runs: the entry being written, files and bytes done of the total, and a
// Cancel button. The extraction runs on the user interface thread, so the
// window only changes while its owner lets events through (Pump); Cancel
// (also Esc and the close box) only raises a request the owner reads.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;

class frmProgress : public QDialog {
public:
    // Modal to `owner` (the browser window), which it blocks while it is up.
    explicit frmProgress(QWidget* owner);

    // The run's size: the files and bytes it is asked to write.
    void Start(std::int32_t totalFiles, std::int64_t totalBytes);
    // `entry` is being written; `filesDone` and `bytesDone` are finished.
    void ShowEntry(const QString& entry, std::int32_t filesDone, std::int64_t bytesDone);
    // Lets the window paint and the Cancel button be pressed, at most every
    // few hundredths of a second, so that a run of many small entries is not
    // slowed down by it.
    void Pump();

    bool CancelRequested() const { return m_bCancel; }
    void cmdCancel_Click();

    QLabel* lblEntry = nullptr;
    QLabel* lblCount = nullptr;
    QProgressBar* prgBytes = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void showCount(std::int32_t filesDone, std::int64_t bytesDone);

    std::int32_t m_lTotalFiles = 0;
    std::int64_t m_lTotalBytes = 0;
    bool m_bCancel = false;
    QString m_sEntry;
    QElapsedTimer m_pumped;
};
