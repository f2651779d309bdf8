#include "control/qt/QtPlatform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QInputDialog>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QUrl>

#include "browser/qt/frmOverwrite.h"
#include "browser/qt/frmPassword.h"
#include "browser/qt/frmUnzip.h"
#include "dialogs/qt/QtFileChooser.h"
#include "errors/Error.h"
#include "platform/Text.h"
#include "platform/qt/QtSupport.h"

namespace pw::qt {

namespace {

// A new browser window is the archive browser of this library unless a host
// or a test registers another way.
ArchiveBrowserFactory& browserFactory() {
    static ArchiveBrowserFactory f = [] { frmUnzip::OpenNew(); };
    return f;
}

QWidget* dialogParent(WindowHandle owner) {
    if (QWidget* w = widgetForHandle(owner)) return w;
    if (QWidget* w = QApplication::activeModalWidget()) return w;
    return QApplication::activeWindow();
}

// Without a desktop session Qt has no icon theme to ask; take the one every
// GNOME-style system ships, so file types still get their real icons.
void chooseIconTheme() {
    QString theme = QIcon::themeName();
    if (!theme.isEmpty() && theme != "hicolor") return;
    for (const QString& dir : QIcon::themeSearchPaths()) {
        if (QFileInfo::exists(dir + "/Adwaita/index.theme")) {
            QIcon::setThemeName("Adwaita");
            return;
        }
    }
}

// The icons shipped with the library, by the generic icon name of a type.
QString shippedIcon(const QString& genericName) {
    QString path = ":/packwell/filetypes/" + genericName + ".png";
    return QFileInfo::exists(path) ? path : QStringLiteral(":/packwell/filetypes/unknown.png");
}

void uninstall() {
    Platform* current = setPlatform(nullptr);
    if (current != &qtPlatform()) setPlatform(current);
}

void installAtStartup() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        ensureQtPlatform();
        qAddPostRoutine(uninstall);
    }
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(installAtStartup)

QtPlatform& qtPlatform() {
    static QtPlatform p;
    return p;
}

bool ensureQtPlatform() {
    Platform* previous = setPlatform(&qtPlatform());
    if (previous && previous != &qtPlatform()) {
        setPlatform(previous);
        return false;
    }
    chooseIconTheme();
    return true;
}

ArchiveBrowserFactory setArchiveBrowserFactory(ArchiveBrowserFactory factory) {
    ArchiveBrowserFactory previous = std::move(browserFactory());
    browserFactory() = std::move(factory);
    return previous;
}

int QtPlatform::messageBox(const std::string& text, MessageStyle style, const std::string& caption) {
    QMessageBox box(dialogParent(0));
    box.setObjectName("PackwellMessageBox");
    box.setWindowTitle(qs(caption));
    // File names are shown as they are, never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(qs(text));
    switch (style) {
        case MessageStyle::Plain: box.setIcon(QMessageBox::NoIcon); break;
        case MessageStyle::Information: box.setIcon(QMessageBox::Information); break;
        case MessageStyle::Exclamation: box.setIcon(QMessageBox::Warning); break;
        case MessageStyle::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
    return 1;
}

bool QtPlatform::askYesNo(const std::string& text, const std::string& caption) {
    QMessageBox box(dialogParent(0));
    box.setObjectName("PackwellQuestionBox");
    box.setWindowTitle(qs(caption));
    box.setTextFormat(Qt::PlainText);
    box.setText(qs(text));
    box.setIcon(QMessageBox::Question);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool QtPlatform::openDocument(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(qs(path)));
}

std::string QtPlatform::inputBox(const std::string& prompt, const std::string& title,
                                 const std::string& defaultText) {
    QInputDialog dialog(dialogParent(0));
    dialog.setObjectName("PackwellInputBox");
    dialog.setWindowTitle(title.empty() ? QString(kLibraryTitle) : qs(title));
    dialog.setLabelText(qs(prompt));
    dialog.setTextValue(qs(defaultText));
    if (dialog.exec() != QDialog::Accepted) return "";
    return ss(dialog.textValue());
}

int QtPlatform::getOpenFileName(OpenFileName& ofn) { return runFileChooser(ofn, false, lastError_); }
int QtPlatform::getSaveFileName(OpenFileName& ofn) { return runFileChooser(ofn, true, lastError_); }

OverwriteAnswer QtPlatform::overwritePrompt(const std::string& question, WindowHandle owner) {
    frmOverwrite frm(dialogParent(owner));
    frm.TheCaption(question);
    frm.ShowModal();
    return {frm.Response(), frm.ApplyToAll()};
}

PasswordAnswer QtPlatform::passwordPrompt(WindowHandle owner) {
    frmPassword frm(dialogParent(owner));
    frm.ShowModal();
    return {frm.Password(), frm.Cancelled()};
}

void QtPlatform::doEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtPlatform::setMousePointer(MousePointer pointer) {
    bool wait = pointer == MousePointer::Wait;
    if (wait == waitCursor_) return;
    if (wait) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
    waitCursor_ = wait;
}

void QtPlatform::openArchiveBrowser() {
    if (!browserFactory()) raise(kInvalidProcedureCall, kLibrarySource, "The archive browser is not available");
    browserFactory()();
}

ShellFileInfo QtPlatform::shellFileInfo(const std::string& path) {
    static QMimeDatabase db;
    QString file = qs(path);
    QMimeType type = db.mimeTypeForFile(file, QMimeDatabase::MatchExtension);
    ShellFileInfo info;
    QString suffix = QFileInfo(file).suffix();
    if (!type.isValid() || type.isDefault()) {
        // What the classic shell calls a type it does not know.
        info.typeName = suffix.isEmpty() ? std::string("File") : ss(suffix.toUpper()) + " File";
        info.iconName = ss(QIcon::hasThemeIcon("application-octet-stream") ? QStringLiteral("application-octet-stream")
                                                                         : shippedIcon("unknown"));
        return info;
    }
    info.typeName = ss(type.comment());
    if (QIcon::hasThemeIcon(type.iconName())) info.iconName = ss(type.iconName());
    else if (QIcon::hasThemeIcon(type.genericIconName())) info.iconName = ss(type.genericIconName());
    else info.iconName = ss(shippedIcon(type.genericIconName()));
    return info;
}

}  // namespace pw::qt
