// vorn-rtf: looks inside a note file. Prints what a note decodes to, paragraph by paragraph, writes the
// RTF of a plain note, and checks that a note survives being written again.

#include "notes/NoteDump.h"
#include "notes/RichText.h"

#include <QFile>
#include <QGuiApplication>
#include <QTextDocument>

#include <cstdio>

using namespace vorn::notes;

namespace {

constexpr int kUsage = 64;
constexpr int kNotReadable = 2;

void print(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

int usage()
{
    print(stderr, QStringLiteral(
                      "usage: vorn-rtf text FILE       the note text FILE decodes to (its plain copy)\n"
                      "       vorn-rtf dump FILE       each paragraph: kind, role, direction, runs\n"
                      "       vorn-rtf encode FILE.txt the RTF of a plain text note, to stdout\n"
                      "       vorn-rtf roundtrip FILE  whether writing the decoded note again keeps it\n"));
    return kUsage;
}

std::optional<QByteArray> readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        print(stderr, QStringLiteral("vorn-rtf: can't read %1: %2\n").arg(path, file.errorString()));
        return std::nullopt;
    }
    return file.readAll();
}

int notReadable(const QString& path)
{
    print(stderr, QStringLiteral("vorn-rtf: %1: not readable RTF\n").arg(path));
    return kNotReadable;
}

} // namespace

int main(int argc, char** argv)
{
    // Fonts need a GUI application; nothing is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 2)
        return usage();
    const QString& command = args[0];
    const QString& path = args[1];
    const std::optional<QByteArray> data = readFile(path);
    if (!data)
        return 1;

    if (command == u"encode") {
        const auto note = RichText::plain(QString::fromUtf8(*data));
        const QByteArray rtf = RichText::encode(*note);
        std::fwrite(rtf.constData(), 1, size_t(rtf.size()), stdout);
        return 0;
    }
    std::optional<RichText::Decoded> decoded = RichText::decode(*data);
    if (command == u"text") {
        if (!decoded)
            return notReadable(path);
        print(stdout, RichText::plainCopy(*decoded->text) + u'\n');
        return 0;
    }
    if (command == u"dump") {
        if (!decoded)
            return notReadable(path);
        print(stdout, dump(*decoded->text));
        const QString sections = decoded->sections.write();
        if (!sections.isEmpty())
            print(stdout, QStringLiteral("sections: %1\n").arg(sections));
        return 0;
    }
    if (command == u"roundtrip") {
        if (!decoded)
            return notReadable(path);
        const std::optional<RichText::Decoded> again =
            RichText::decode(RichText::encode(*decoded->text, decoded->sections));
        if (again && dump(*again->text) == dump(*decoded->text) && again->sections == decoded->sections) {
            print(stdout, QStringLiteral("same: %1 paragraphs\n").arg(decoded->text->blockCount()));
            return 0;
        }
        print(stdout, QStringLiteral("differs\n--- first decode\n%1--- second decode\n%2")
                          .arg(dump(*decoded->text),
                               again ? dump(*again->text) : QStringLiteral("(not readable)\n")));
        return 1;
    }
    return usage();
}
