#include "pixel/VornFont.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>

using namespace Qt::StringLiterals;

namespace vorn::VornFont {

std::optional<QString> registerFile(const QString& path)
{
    // Checked first: Qt warns about a file it cannot open, and a missing font is no news to anyone.
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const int id = QFontDatabase::addApplicationFontFromData(file.readAll());
    if (id < 0)
        return std::nullopt;
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty())
        return std::nullopt;
    return families.first();
}

std::optional<QString> registerFont()
{
    // Registering twice would list the family twice; later callers get the first answer.
    static const std::optional<QString> registered = registerFile(QString::fromUtf16(resourcePath));
    return registered;
}

QString uiFamily()
{
    static const QString face = [] {
        if (QFontDatabase::hasFamily(u"Inter"_s))
            return u"Inter"_s;
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }();
    return face;
}

QFont font(int pixelSize)
{
    QFont f;
    // The pixel face first; per character, Qt moves on to the UI face for what it lacks.
    f.setFamilies({QString::fromUtf16(family), uiFamily()});
    f.setPixelSize(pixelSize);
    // The outlines already sit on the pixel grid; hinting would only nudge them off it.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

} // namespace vorn::VornFont
