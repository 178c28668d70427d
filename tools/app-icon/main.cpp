// app-icon FOLDER SIZE...: writes the application icon into FOLDER as an icon theme lays it out,
// FOLDER/NxN/apps/com.vorn.todo.png for every SIZE and FOLDER/scalable/apps/com.vorn.todo.svg.

#include "files/AtomicFile.h"
#include "pixel/AppIcon.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

using namespace vorn;

namespace {

constexpr QLatin1StringView iconName("com.vorn.todo");

bool fail(const QString& message)
{
    std::fprintf(stderr, "app-icon: %s\n", qPrintable(message));
    return false;
}

bool write(const QString& folder, const QString& file, const QByteArray& bytes)
{
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("cannot make %1").arg(folder));
    if (QString why; !vorn::writeFileAtomically(folder + u'/' + file, bytes, &why))
        return fail(QStringLiteral("cannot write: %1").arg(why));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: app-icon FOLDER SIZE...\n");
        return 2;
    }
    const QString root = args.first();
    for (const QString& arg : args.mid(1)) {
        bool ok = false;
        const int size = arg.toInt(&ok);
        if (!ok || size < 16 || size % 16 != 0) {
            fail(QStringLiteral("%1 is no multiple of 16 pixels, so the face would not stay crisp").arg(arg));
            return 2;
        }
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        AppIcon::image(size).save(&buffer, "PNG");
        if (png.isEmpty() ||
            !write(QStringLiteral("%1/%2x%2/apps").arg(root).arg(size), iconName + u".png", png))
            return 1;
    }
    return write(root + u"/scalable/apps", iconName + u".svg", AppIcon::svg()) ? 0 : 1;
}
