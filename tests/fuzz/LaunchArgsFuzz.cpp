// The launch arguments, one per NUL-separated piece of the input, after the program's name. Both
// readers must read their own rendering of what they read as the same: the options as
// "--list=NAME"-style words, the settings as "-key value" pairs.
#include "app/CommandLine.h"
#include "model/Settings.h"

#include <QLocale>

#include <cstddef>
#include <cstdint>

using namespace vorn;

namespace {

QStringList rendered(const CommandLine& c)
{
    QStringList out{QStringLiteral("vorn-todo")};
    if (c.help)
        out << QStringLiteral("--help");
    if (c.version)
        out << QStringLiteral("--version");
    if (c.list)
        out << QStringLiteral("--list=") + *c.list;
    if (c.add)
        out << QStringLiteral("--add=") + *c.add;
    if (c.newThing)
        out << QStringLiteral("--new-thing");
    return out;
}

QStringList rendered(const QVariantMap& domain)
{
    QStringList out{QStringLiteral("vorn-todo")};
    for (auto it = domain.begin(); it != domain.end(); ++it) {
        out << u'-' + it.key();
        const QVariant& v = it.value();
        if (v.typeId() == QMetaType::Bool)
            out << (v.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
        else if (v.typeId() == QMetaType::Double)
            out << QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
        else
            out << v.toString();
    }
    return out;
}

bool same(const CommandLine& a, const CommandLine& b)
{
    return a.help == b.help && a.version == b.version && a.list == b.list && a.add == b.add &&
           a.newThing == b.newThing && a.error == b.error;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QStringList arguments{QStringLiteral("vorn-todo")};
    const QByteArrayView input(data, qsizetype(size));
    qsizetype start = 0;
    while (start <= input.size()) {
        qsizetype end = input.indexOf('\0', start);
        if (end < 0)
            end = input.size();
        arguments << QString::fromLocal8Bit(input.sliced(start, end - start));
        start = end + 1;
    }

    const CommandLine options = CommandLine::parse(arguments);
    if (options.error.isEmpty() && !same(CommandLine::parse(rendered(options)), options))
        __builtin_trap();
    const QVariantMap settings = parseArgumentDomain(arguments);
    if (parseArgumentDomain(rendered(settings)) != settings)
        __builtin_trap();
    return 0;
}
