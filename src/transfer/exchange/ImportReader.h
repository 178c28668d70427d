#pragma once

#include "text/InputLimits.h"
#include "transfer/exchange/ExchangeList.h"

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace vorn {

struct ImportProblem {
    int line = 0; // 1-based
    QString what;
    friend bool operator==(const ImportProblem&, const ImportProblem&) = default;
};

// A list the import puts things into. A list named by a top-level heading is made when it does not
// exist yet; one named by a lower heading is only used when it exists.
struct ImportList : ExchangeList {
    bool create = true;
};

struct ImportText {
    enum class Format { markdown, todoTxt };
    Format format = Format::markdown;
    std::vector<ImportList> lists; // in the order the file names them; the same list may come twice
    std::vector<ImportProblem> problems;
    int thingCount() const;
};

// Reads our own export, checklists as a paste reads them, and todo.txt (taken when `todoTxt` says so,
// or when the text has todo.txt's marks and no heading or checklist line). Lines it cannot read are
// reported and skipped; the rest is read.
ImportText readImport(QStringView text, bool todoTxt = false);

// A file checked before it is read: readable, not too big, text and UTF-8. `error` says what is wrong
// in a sentence the user sees; then nothing was read.
struct ImportFile {
    std::optional<ImportText> text;
    QString content; // the file's text, as read
    QString error;
};
// The same for every way in: a file, the running app's bus method and a paste.
inline constexpr qint64 kImportFileLimit = kImportLimit;
ImportFile readImportFile(const QString& path);
// The same checks on bytes already read (the running app gets them from a second start).
ImportFile readImportBytes(const QByteArray& bytes, const QString& name);
// "list.md is too big to be a list (20 MB; the most is 16 MB)."
QString tooBigToImport(const QString& name, qint64 bytes);

// What a reader skips: a Markdown file's lines, or an iCalendar file's items (located by their line).
enum class ImportUnit { line, item };

// "3 lines couldn't be read: line 4 (…), line 9 (…)": the first ten problems, for a message.
QString describeProblems(const std::vector<ImportProblem>& problems, ImportUnit unit = ImportUnit::line);

} // namespace vorn
