// Small helpers of the desktop layer shared by its windows: text conversion,
// window handles, loading a picture file as a window icon, centring.
#pragma once

#include <QIcon>
#include <QRect>
#include <QString>
#include <string>

#include "platform/Platform.h"

#include <Qt>

class QFont;
class QPushButton;
class QWidget;

namespace pw::qt {

inline QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
inline std::string ss(const QString& s) { return s.toStdString(); }

// The handle a host passes for a window (its native window id, cut to the
// signed 32 bits of the automation interface).
WindowHandle handleOf(QWidget* window);
// The window with that handle, or nullptr for 0, -1 and unknown handles.
QWidget* widgetForHandle(WindowHandle handle);

// Loads the picture file at `path` as an icon. A picture that cannot be
// loaded raises the classic errors: 53/76/70 for a missing or unreadable
// file, 481 "Invalid picture" for a file that is no picture.
QIcon loadPicture(const std::string& path);
// Makes the picture at `path` the window's icon; an empty path leaves the
// window's own icon. Raises as loadPicture.
void applyWindowIcon(QWidget* window, const std::string& path);

// Window layouts are given in twips; the desktop layer draws 15 twips to
// the pixel (96 pixels an inch) and rounds to the nearest pixel.
constexpr int twips(int t) { return (t >= 0 ? t + 7 : t - 7) / 15; }
inline QRect twipRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

// A fixed dialog border without minimise and maximise boxes.
inline constexpr Qt::WindowFlags kFixedDialogFlags =
    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
    Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// The dialogs' font: Tahoma 8.25 pt, or the closest the system has.
QFont dialogFont();

// A push button at a fixed place.
QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, int x, int y, int w, int h);

// Moves the window (its frame) to the middle of its screen, keeping its size.
void centreOnScreen(QWidget* window);

}  // namespace pw::qt
