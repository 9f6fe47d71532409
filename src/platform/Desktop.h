#pragma once
// Desktop services that a test cannot run for real: opening a file, folder or
// web address with the desktop's default application, the folder and file
// choosers and
// modal message boxes. Each is one replaceable function: tests install their
// own and restore the real one with an empty function.

#include <QMessageBox>
#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

namespace tessarine {

// Opens `url` with the desktop; true when the desktop accepted it.
bool OpenWithDesktop(const QUrl& url);
using OpenWithDesktopFn = std::function<bool(const QUrl&)>;
void SetOpenWithDesktop(OpenWithDesktopFn fn);

// Asks for a folder with `caption` as the chooser's prompt (its title, and a
// label inside Qt's own dialog), opening at `startFolder`; the empty text when
// the user cancels or picks something without a local path.
QString ChooseFolder(QWidget* parent, const QString& caption, const QString& startFolder);
using ChooseFolderFn =
    std::function<QString(QWidget*, const QString& caption, const QString& startFolder)>;
void SetChooseFolder(ChooseFolderFn fn);

// Asks for an existing file to read, showing the files that `filter` matches
// (Qt's syntax: "OPML files (*.opml *.xml)"); the empty text when the user
// cancels or picks something without a local path.
QString ChooseOpenFile(QWidget* parent, const QString& caption, const QString& filter);
// Asks for a file to write, with the same filter; a name typed without a
// suffix gets `defaultSuffix`, and an existing file is replaced only after the
// user agreed. The empty text when the user cancels.
QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& filter,
                       const QString& defaultSuffix);
using ChooseFileFn = std::function<QString(QWidget*, const QString& caption, const QString& filter)>;
void SetChooseOpenFile(ChooseFileFn fn);
void SetChooseSaveFile(ChooseFileFn fn);

// Shows a modal message box and returns the button pressed.
QMessageBox::StandardButton ShowMessageBox(QWidget* parent, QMessageBox::Icon icon,
                                           const QString& text,
                                           QMessageBox::StandardButtons buttons = QMessageBox::Ok);
using ShowMessageBoxFn = std::function<QMessageBox::StandardButton(
    QWidget*, QMessageBox::Icon, const QString&, QMessageBox::StandardButtons)>;
void SetShowMessageBox(ShowMessageBoxFn fn);

// Shows a message box with an OK button without waiting for it: `closed`
// runs (on this thread, from the event loop) once the user has closed it. The
// box is modal for the application but the event loop goes on meanwhile. With
// a replacement installed by SetShowMessageBox, that is called at once and
// `closed` follows from the event loop.
void OpenMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                    std::function<void()> closed);

// Closes every message box that ShowMessageBox or OpenMessageBox has open (as if answered with
// the escape button), so that ending the program never waits on one.
void CloseOpenMessageBoxes();

} // namespace tessarine
