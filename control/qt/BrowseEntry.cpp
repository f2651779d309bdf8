// The browse entry (control/BrowseEntry.h): a Qt application around one
// archive browser window, returning when the window has closed.
#include <QApplication>
#include <QWidget>
#include <cstring>
#include <string>

#include "control/BrowseEntry.h"
#include "control/ctlPackwell.h"
#include "control/qt/QtPlatform.h"
#include "platform/FailureTrap.h"

int PackwellBrowse(const char* archive, char* errorText, int errorTextSize) {
    auto fail = [&](const std::string& text) {
        if (errorText && errorTextSize > 0) {
            std::strncpy(errorText, text.c_str(), static_cast<std::size_t>(errorTextSize) - 1);
            errorText[errorTextSize - 1] = '\0';
        }
        return 1;
    };
    static int argc = 1;
    static char name[] = "packwell";
    static char* argv[] = {name, nullptr};
    std::unique_ptr<QApplication> app;
    if (!QApplication::instance()) app = std::make_unique<QApplication>(argc, argv);
    pw::qt::ensureQtPlatform();
    try {
        ctlPackwell control;
        control.ListZipContent(archive ? archive : "");
    } catch (...) {
        return fail(pw::failureText(pw::toError(std::current_exception())));
    }
    // A missing archive opened no window: nothing to wait for.
    if (QApplication::topLevelWidgets().isEmpty()) return 1;
    bool anyVisible = false;
    for (QWidget* w : QApplication::topLevelWidgets()) anyVisible = anyVisible || w->isVisible();
    if (!anyVisible) return 1;
    return QApplication::exec() == 0 ? 0 : 1;
}
