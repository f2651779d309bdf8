#include "dialogs/qt/QtFileChooser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>

#include "platform/ConsolePlatform.h"
#include "platform/Text.h"
#include "platform/qt/QtSupport.h"

namespace pw::qt {

namespace {

ChooserDriver& driver() {
    static ChooserDriver d;
    return d;
}

// The record's filter text as (description, patterns) pairs; it ends at an
// empty description or at the end of the text.
std::vector<std::pair<std::string, std::string>> filterPairs(const std::string& filter) {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::size_t pos = 0;
    while (pos < filter.size()) {
        std::size_t descEnd = filter.find('\0', pos);
        if (descEnd == std::string::npos || descEnd == pos) break;
        std::size_t patEnd = filter.find('\0', descEnd + 1);
        if (patEnd == std::string::npos) patEnd = filter.size();
        pairs.emplace_back(filter.substr(pos, descEnd - pos), filter.substr(descEnd + 1, patEnd - descEnd - 1));
        pos = patEnd + 1;
    }
    return pairs;
}

}  // namespace

QString nameFilterFor(const QString& description, const QString& patterns) {
    QStringList out;
    for (const QString& p : patterns.split(';', Qt::SkipEmptyParts)) {
        QString t = p.trimmed();
        if (t.isEmpty()) continue;
        // "*.*" means every file to the classic chooser, also names without a dot.
        out << (t == "*.*" ? QStringLiteral("*") : t);
    }
    if (out.isEmpty()) out << "*";
    QString desc = description.trimmed();
    if (desc.isEmpty()) desc = patterns.trimmed();
    return desc + " (" + out.join(' ') + ")";
}

ChooserSetup chooserSetup(const OpenFileName& ofn, bool save) {
    ChooserSetup s;
    s.save = save;
    s.multiSelect = !save && (ofn.flags & OFN_ALLOWMULTISELECT);
    s.fileMustExist = !save && (ofn.flags & OFN_FILEMUSTEXIST);
    s.pathMustExist = (ofn.flags & (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST)) != 0;
    s.overwritePrompt = save && (ofn.flags & OFN_OVERWRITEPROMPT);
    s.createPrompt = (ofn.flags & OFN_CREATEPROMPT) != 0;
    s.showReadOnly = !save && !(ofn.flags & OFN_HIDEREADONLY);
    s.readOnly = (ofn.flags & OFN_READONLY) != 0;
    s.title = ofn.title.empty() ? QString(save ? "Save As" : "Open") : qs(ofn.title);
    s.initialFile = qs(cutAtNul(ofn.file));
    s.defaultSuffix = qs(ofn.defExt);
    if (!ofn.initialDir.empty()) {
        s.directory = qs(ofn.initialDir);
    } else if (!s.initialFile.isEmpty() && QFileInfo(s.initialFile).isAbsolute()) {
        s.directory = QFileInfo(s.initialFile).absolutePath();
    } else {
        s.directory = QDir::currentPath();
    }
    for (const auto& [desc, pattern] : filterPairs(ofn.filter)) s.nameFilters << nameFilterFor(qs(desc), qs(pattern));
    if (!s.nameFilters.isEmpty()) {
        int index = static_cast<int>(ofn.nFilterIndex);
        s.initialFilter = index >= 1 && index <= s.nameFilters.size() ? index - 1 : 0;
    }
    return s;
}

int applyChooserAnswer(OpenFileName& ofn, const ChooserAnswer& answer, std::uint32_t& extendedError) {
    extendedError = 0;
    std::vector<std::string> paths;
    for (const QString& f : answer.files) paths.push_back(ss(QDir::cleanPath(f)));
    if (paths.empty()) return 0;
    // The record's buffer holds the path, or the folder and every name,
    // each with its NUL, and a closing NUL.
    std::size_t need = 0;
    if (paths.size() == 1) {
        need = charCount(paths.front()) + 1;
    } else {
        need = charCount(ss(QFileInfo(answer.files.front()).absolutePath())) + 2;
        for (const auto& p : paths) need += charCount(p.substr(p.rfind('/') + 1)) + 1;
    }
    if (need > ofn.nMaxFile) {
        extendedError = FNERR_BUFFERTOOSMALL;
        return 2;
    }
    int index = answer.filterIndex > 0 ? answer.filterIndex : static_cast<int>(ofn.nFilterIndex);
    fillChooserResult(ofn, paths, index);
    if (answer.readOnly) {
        if (*answer.readOnly) ofn.flags |= OFN_READONLY;
        else ofn.flags &= ~static_cast<std::uint32_t>(OFN_READONLY);
    }
    return 1;
}

FileChooserDialog::FileChooserDialog(const ChooserSetup& setup, QWidget* owner)
    : QFileDialog(owner, setup.title, setup.directory), setup_(setup) {
    setObjectName("FileChooserDialog");
    // The same chooser on every desktop, and one whose answers we can check.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setOption(QFileDialog::HideNameFilterDetails, true);
    setOption(QFileDialog::DontConfirmOverwrite, !setup.overwritePrompt);
    setAcceptMode(setup.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (setup.multiSelect) setFileMode(QFileDialog::ExistingFiles);
    else if (setup.fileMustExist) setFileMode(QFileDialog::ExistingFile);
    else setFileMode(QFileDialog::AnyFile);
    if (!setup.nameFilters.isEmpty()) {
        setNameFilters(setup.nameFilters);
        selectNameFilter(setup.nameFilters.value(setup.initialFilter));
    }
    if (!setup.defaultSuffix.isEmpty()) setDefaultSuffix(setup.defaultSuffix);
    if (!setup.initialFile.isEmpty()) selectFile(setup.initialFile);
    if (setup.showReadOnly) {
        readOnlyBox_ = new QCheckBox(tr("Open as &read-only"), this);
        readOnlyBox_->setObjectName("chkReadOnly");
        readOnlyBox_->setChecked(setup.readOnly);
        if (auto* grid = qobject_cast<QGridLayout*>(layout()))
            grid->addWidget(readOnlyBox_, grid->rowCount(), 0, 1, grid->columnCount());
    }
    setWindowModality(Qt::ApplicationModal);
}

ChooserAnswer FileChooserDialog::answer() const {
    ChooserAnswer a;
    a.accepted = result() == QDialog::Accepted;
    a.files = selectedFiles();
    // With the filters' patterns hidden, selectedNameFilter() gives the shown
    // text, so the filter is found by its place in the type box.
    if (auto* combo = findChild<QComboBox*>("fileTypeCombo"); combo && combo->count() == nameFilters().size())
        a.filterIndex = combo->currentIndex() + 1;
    else
        a.filterIndex = static_cast<int>(nameFilters().indexOf(selectedNameFilter())) + 1;
    if (readOnlyBox_) a.readOnly = readOnlyBox_->isChecked();
    return a;
}

void FileChooserDialog::accept() {
    const QStringList files = selectedFiles();
    for (const QString& f : files) {
        QFileInfo info(f);
        if (info.isDir()) break;  // the chooser opens the folder instead
        if (setup_.pathMustExist && !QFileInfo(info.absolutePath()).isDir()) {
            QMessageBox::warning(this, windowTitle(),
                                 tr("%1\nPath does not exist.\nCheck the path and try again.").arg(info.absolutePath()));
            return;
        }
        if (setup_.createPrompt && !info.exists()) {
            auto answer = QMessageBox::question(this, windowTitle(),
                                                tr("%1\nThis file does not exist.\nDo you want to create it?")
                                                    .arg(info.fileName()),
                                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
            if (answer != QMessageBox::Yes) return;
        }
    }
    QFileDialog::accept();
}

ChooserDriver setChooserDriver(ChooserDriver d) {
    ChooserDriver previous = std::move(driver());
    driver() = std::move(d);
    return previous;
}

int runFileChooser(OpenFileName& ofn, bool save, std::uint32_t& extendedError) {
    extendedError = 0;
    ChooserSetup setup = chooserSetup(ofn, save);
    FileChooserDialog dialog(setup, widgetForHandle(ofn.hwndOwner));
    ChooserAnswer answer;
    if (driver()) {
        answer = driver()(dialog);
    } else {
        dialog.exec();
        answer = dialog.answer();
    }
    if (!answer.accepted) return 0;
    return applyChooserAnswer(ofn, answer, extendedError);
}

}  // namespace pw::qt
