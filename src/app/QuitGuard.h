#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace vorn {

class AppModel;

// Asked before the window's Quit goes ahead when the last changes couldn't be saved; true quits anyway.
using UnsavedQuitConfirmer = std::function<bool(QWidget* parent, const QString& why)>;

// What is typed in any list and not yet entered goes in, as Return would.
void commitDrafts();

// Whether the app may quit now: saves first, and when the save fails asks the confirmer (the changes are
// then kept in a rescue file at exit, which the question says).
bool readyToQuit(AppModel& model, QWidget* parent, const UnsavedQuitConfirmer& confirm);

// The real confirmer: a message box with "Quit Anyway" and "Keep Open" (the default).
bool askBeforeQuittingUnsaved(QWidget* parent, const QString& why);

} // namespace vorn
