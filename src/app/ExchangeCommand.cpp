#include "app/ExchangeCommand.h"

#include "files/AtomicFile.h"
#include "model/AppModel.h"
#include "model/ModelCalendar.h"
#include "model/ModelExchange.h"
#include "text/Printable.h"
#include "transfer/exchange/MarkdownExport.h"

#include <QTextStream>

namespace vorn {

QString exportMarkdown(const AppModel& model)
{
    return writeMarkdown(exportLists(model));
}

bool writeExportFile(const QString& path, const QString& text, QString* error)
{
    return writeExportBytes(path, text.toUtf8(), error);
}

bool writeExportBytes(const QString& path, const QByteArray& bytes, QString* error)
{
    // The old file stays whole when the new one can't be written all the way to the disk.
    if (QString why; !writeFileAtomically(path, bytes, &why)) {
        *error = QStringLiteral("Couldn't write %1: %2.").arg(path, why);
        return false;
    }
    return true;
}

CommandResult exportCommand(const Launch& launch, const std::optional<QString>& file)
{
    return readStore(launch, [&file](AppModel& model) -> CommandResult {
        if (file && isCalendarFile(*file)) {
            if (QString error; !writeExportBytes(*file, exportCalendar(model), &error))
                return {1, error};
            return {};
        }
        const QString text = exportMarkdown(model);
        if (!file) {
            // The document is control-free as written; what reaches a terminal is so whatever the notes
            // held.
            QTextStream(stdout) << printable(text);
            return {};
        }
        if (QString error; !writeExportFile(*file, text, &error))
            return {1, error};
        return {};
    });
}

CommandResult importCommand(const Launch& launch, QDBusConnection bus, const QString& path)
{
    const ImportFile file = readImportFile(path);
    if (!file.text)
        return {1, file.error};
    StoreChange change;
    change.refusedInDemo = QStringLiteral("--import writes your own lists, so it doesn't go with -demo");
    change.elsewhere = QStringLiteral("use File > Import… in its window");
    // The running app gets the words, checked here, rather than a path it may see differently.
    if (isCalendarFile(path)) {
        change.method = QStringLiteral("ImportCalendar");
        change.arguments = {file.content};
        change.apply = [&file](AppModel& model) {
            return describeImport(importCalendar(model, ical::readCalendar(file.content.toUtf8())));
        };
        return changeStore(launch, bus, change);
    }
    change.method = QStringLiteral("Import");
    change.arguments = {file.content, file.text->format == ImportText::Format::todoTxt};
    change.apply = [&file](AppModel& model) { return describeImport(importLists(model, *file.text)); };
    return changeStore(launch, bus, change);
}

} // namespace vorn
