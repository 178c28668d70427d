#pragma once

#include "app/StoreCommand.h"

#include <QDBusConnection>
#include <QString>

#include <optional>

namespace vorn {

class AppModel;
struct Launch;

// Every list of ours as the Markdown document `--export` and File > Export… write.
QString exportMarkdown(const AppModel& model);
// Writes `text` to `path` whole or not at all; false with `error` set when it couldn't.
bool writeExportFile(const QString& path, const QString& text, QString* error);
bool writeExportBytes(const QString& path, const QByteArray& bytes, QString* error);

// `vorn-todo --export [FILE]`: reads the store without writing (safe while the app runs) and prints the
// document, or writes it to FILE.
CommandResult exportCommand(const Launch& launch, const std::optional<QString>& file);

// `vorn-todo --import FILE`: through the running app when there is one (so its window and undo see it),
// else straight into the store. The report says what was imported and what was skipped.
CommandResult importCommand(const Launch& launch, QDBusConnection bus, const QString& path);

} // namespace vorn
