#include "caldav/DavUrl.h"
#include "caldav/DavXml.h"

#include <QXmlStreamWriter>

namespace vorn::caldav {

namespace {

constexpr QLatin1StringView kDav("DAV:");
constexpr QLatin1StringView kCalDav("urn:ietf:params:xml:ns:caldav");
constexpr QLatin1StringView kServer("http://calendarserver.org/ns/");

// A writer with the three namespaces declared on the root, so every element's prefix is the same.
class Body {
public:
    explicit Body(const QString& ns, const QString& root) : m_xml(&m_out)
    {
        m_xml.writeStartDocument();
        m_xml.writeNamespace(kDav, QStringLiteral("d"));
        m_xml.writeNamespace(kCalDav, QStringLiteral("c"));
        m_xml.writeNamespace(kServer, QStringLiteral("cs"));
        m_xml.writeStartElement(ns, root);
    }
    QXmlStreamWriter& xml() { return m_xml; }
    QByteArray done()
    {
        m_xml.writeEndDocument();
        return m_out;
    }

private:
    QByteArray m_out;
    QXmlStreamWriter m_xml;
};

void writeProp(QXmlStreamWriter& xml, DavProp prop)
{
    switch (prop) {
    case DavProp::CurrentUserPrincipal:
        xml.writeEmptyElement(kDav, QStringLiteral("current-user-principal"));
        break;
    case DavProp::CalendarHomeSet:
        xml.writeEmptyElement(kCalDav, QStringLiteral("calendar-home-set"));
        break;
    case DavProp::ResourceType:
        xml.writeEmptyElement(kDav, QStringLiteral("resourcetype"));
        break;
    case DavProp::DisplayName:
        xml.writeEmptyElement(kDav, QStringLiteral("displayname"));
        break;
    case DavProp::SupportedComponents:
        xml.writeEmptyElement(kCalDav, QStringLiteral("supported-calendar-component-set"));
        break;
    case DavProp::Ctag:
        xml.writeEmptyElement(kServer, QStringLiteral("getctag"));
        break;
    case DavProp::SyncToken:
        xml.writeEmptyElement(kDav, QStringLiteral("sync-token"));
        break;
    case DavProp::Etag:
        xml.writeEmptyElement(kDav, QStringLiteral("getetag"));
        break;
    case DavProp::CalendarData:
        xml.writeEmptyElement(kCalDav, QStringLiteral("calendar-data"));
        break;
    }
}

void writeProps(QXmlStreamWriter& xml, const std::vector<DavProp>& props)
{
    xml.writeStartElement(kDav, QStringLiteral("prop"));
    for (DavProp p : props)
        writeProp(xml, p);
    xml.writeEndElement();
}

void writeDisplayNameSet(QXmlStreamWriter& xml, const QString& displayName, bool todoCollection)
{
    xml.writeStartElement(kDav, QStringLiteral("set"));
    xml.writeStartElement(kDav, QStringLiteral("prop"));
    xml.writeTextElement(kDav, QStringLiteral("displayname"), displayName);
    if (todoCollection) {
        xml.writeStartElement(kCalDav, QStringLiteral("supported-calendar-component-set"));
        xml.writeEmptyElement(kCalDav, QStringLiteral("comp"));
        xml.writeAttribute(QStringLiteral("name"), QStringLiteral("VTODO"));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndElement();
}

} // namespace

QByteArray propfindBody(const std::vector<DavProp>& props)
{
    Body body(kDav, QStringLiteral("propfind"));
    writeProps(body.xml(), props);
    return body.done();
}

QByteArray syncCollectionBody(const QString& token)
{
    Body body(kDav, QStringLiteral("sync-collection"));
    body.xml().writeTextElement(kDav, QStringLiteral("sync-token"), token);
    body.xml().writeTextElement(kDav, QStringLiteral("sync-level"), QStringLiteral("1"));
    writeProps(body.xml(), {DavProp::Etag});
    return body.done();
}

QByteArray multigetBody(const std::vector<QUrl>& hrefs)
{
    Body body(kCalDav, QStringLiteral("calendar-multiget"));
    writeProps(body.xml(), {DavProp::Etag, DavProp::CalendarData});
    for (const QUrl& href : hrefs)
        body.xml().writeTextElement(kDav, QStringLiteral("href"), hrefPath(href));
    return body.done();
}

QByteArray calendarQueryBody(bool withData)
{
    Body body(kCalDav, QStringLiteral("calendar-query"));
    QXmlStreamWriter& xml = body.xml();
    writeProps(xml,
               withData ? std::vector{DavProp::Etag, DavProp::CalendarData} : std::vector{DavProp::Etag});
    xml.writeStartElement(kCalDav, QStringLiteral("filter"));
    xml.writeStartElement(kCalDav, QStringLiteral("comp-filter"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("VCALENDAR"));
    xml.writeEmptyElement(kCalDav, QStringLiteral("comp-filter"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("VTODO"));
    xml.writeEndElement();
    xml.writeEndElement();
    return body.done();
}

QByteArray mkcalendarBody(const QString& displayName)
{
    Body body(kCalDav, QStringLiteral("mkcalendar"));
    writeDisplayNameSet(body.xml(), displayName, true);
    return body.done();
}

QByteArray displayNameUpdateBody(const QString& displayName)
{
    Body body(kDav, QStringLiteral("propertyupdate"));
    writeDisplayNameSet(body.xml(), displayName, false);
    return body.done();
}

} // namespace vorn::caldav
