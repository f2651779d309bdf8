// The one QApplication of a Qt test executable,
// and a way to act on the modal window that a call is about to show.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace pwtest {

// Offscreen unless QT_QPA_PLATFORM names a platform; `beforeStart`, given
// by the first call, runs once just before the application is made (for
// environment that must be set before anything reads it).
inline QApplication& qtApp(const std::function<void()>& beforeStart = {}) {
    static int argc = 1;
    static char arg0[] = "packwell-qtest";
    static char* argv[] = {arg0, nullptr};
    // Never destroyed: widgets of failed tests may outlive the tests.
    static QApplication* app = [&] {
        if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
        if (beforeStart) beforeStart();
        return new QApplication(argc, argv);
    }();
    return *app;
}

// Runs `act` on the modal window once it is up (polling, since the window
// appears inside the call that the test makes next).
inline void whenModal(std::function<void(QWidget*)> act, int triesLeft = 200) {
    QTimer::singleShot(10, [act = std::move(act), triesLeft] {
        QWidget* w = QApplication::activeModalWidget();
        if (w && w->isVisible()) act(w);
        else if (triesLeft > 0) whenModal(act, triesLeft - 1);
    });
}

}  // namespace pwtest
