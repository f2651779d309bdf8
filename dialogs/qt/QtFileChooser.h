// The open and save file chooser of the desktop layer, behind the platform
// seam's getOpenFileName/getSaveFileName: a modal, non-native QFileDialog set
// up from the OpenFileName record, whose answer is written back into the
// record the way the classic platform chooser writes it.
#pragma once

#include <QFileDialog>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/Platform.h"

class QCheckBox;

namespace pw::qt {

// What the record asks of the chooser.
struct ChooserSetup {
    bool save = false;
    bool multiSelect = false;
    bool fileMustExist = false;
    bool pathMustExist = false;
    bool overwritePrompt = false;
    bool createPrompt = false;
    bool showReadOnly = false;  // the "Open as read-only" box
    bool readOnly = false;      // its initial state
    QString title;
    QString directory;
    QString initialFile;        // name (or path) preselected in the chooser
    QString defaultSuffix;
    QStringList nameFilters;    // one per filter pair, in the record's order
    int initialFilter = -1;     // index into nameFilters; -1: none
};

ChooserSetup chooserSetup(const OpenFileName& ofn, bool save);

// A filter pair as a Qt name filter: the description, then its patterns in
// parentheses ("*.*" matches every name, as it does in the classic chooser).
QString nameFilterFor(const QString& description, const QString& patterns);

// The user's answer.
struct ChooserAnswer {
    bool accepted = false;
    QStringList files;      // full paths, one folder
    int filterIndex = 0;    // 1-based index of the chosen filter; 0: none
    std::optional<bool> readOnly;  // the read-only box, when it was shown
};

// Writes an accepted answer into the record. Returns 1, or 2 with
// `extendedError` set when the record's buffer cannot hold the answer.
int applyChooserAnswer(OpenFileName& ofn, const ChooserAnswer& answer, std::uint32_t& extendedError);

class FileChooserDialog : public QFileDialog {
    Q_OBJECT
public:
    FileChooserDialog(const ChooserSetup& setup, QWidget* owner);
    const ChooserSetup& setup() const { return setup_; }
    QCheckBox* readOnlyBox() const { return readOnlyBox_; }
    // The answer as the dialog holds it now.
    ChooserAnswer answer() const;

public slots:
    void accept() override;

private:
    ChooserSetup setup_;
    QCheckBox* readOnlyBox_ = nullptr;
};

// How a chooser is answered: by default the user, through exec(). Tests
// install a driver that answers for the user (nullptr restores the user).
using ChooserDriver = std::function<ChooserAnswer(FileChooserDialog&)>;
ChooserDriver setChooserDriver(ChooserDriver driver);

// Runs the chooser for the record: 1 chosen, 0 cancelled, 2 failed (then
// `extendedError`).
int runFileChooser(OpenFileName& ofn, bool save, std::uint32_t& extendedError);

}  // namespace pw::qt
