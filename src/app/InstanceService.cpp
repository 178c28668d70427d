#include "app/InstanceService.h"

#include "app/CalendarSyncRunner.h"

#include "model/AppModel.h"
#include "model/ModelCalendar.h"
#include "model/ModelExchange.h"
#include "text/InputLimits.h"
#include "text/TitleText.h"
#include "transfer/exchange/ImportReader.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>

namespace vorn {

InstanceService::InstanceService(AppModel& model, QObject* parent) : QObject(parent), m_model(model) {}

InstanceService::~InstanceService()
{
    if (!m_bus)
        return;
    m_bus->unregisterService(QString::fromLatin1(kInstanceServiceName));
    m_bus->unregisterObject(QString::fromLatin1(kInstanceObjectPath));
}

bool InstanceService::claim(QDBusConnection bus)
{
    if (!bus.isConnected() || !bus.registerObject(QString::fromLatin1(kInstanceObjectPath), this,
                                                  QDBusConnection::ExportScriptableSlots))
        return false;
    // Not queued: with the name taken we are the second start and go away; waiting in line would
    // leave two apps on one store.
    const auto reply = bus.interface()->registerService(QString::fromLatin1(kInstanceServiceName),
                                                        QDBusConnectionInterface::DontQueueService,
                                                        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus.unregisterObject(QString::fromLatin1(kInstanceObjectPath));
        return false;
    }
    m_bus = bus;
    return true;
}

void InstanceService::Reopen()
{
    // The model's window hooks raise and activate what it shows.
    m_model.reopen();
}

void InstanceService::AddThing(const QString& title)
{
    const TitleInput in = titleInput(title);
    if (!in.ok()) {
        if (calledFromDBus())
            sendErrorReply(QDBusError::InvalidArgs, in.problem == TitleInput::Problem::blank
                                                        ? QStringLiteral("a thing needs a title")
                                                        : titleTooLongMessage());
        return;
    }
    m_model.add(in.text, Source::today);
}

void InstanceService::NewThing()
{
    Reopen();
    m_model.requestAdd();
}

QString InstanceService::Import(const QString& text, bool todoTxt)
{
    // Whoever calls, the words meet the limit a file does: past it they would hold the window up for
    // minutes, and the thing they made at every start after.
    if (const qint64 bytes = utf8Size(text); bytes > kImportFileLimit) {
        if (calledFromDBus())
            sendErrorReply(QDBusError::LimitsExceeded, tooBigToImport(QStringLiteral("That"), bytes));
        return {};
    }
    const ImportOutcome outcome = importLists(m_model, readImport(text, todoTxt));
    m_model.showToast(importToast(outcome));
    return describeImport(outcome);
}

QString InstanceService::SyncCalendar(bool& worked)
{
    return answerWhenDone(&CalendarSyncRunner::syncNow, worked, QStringLiteral("Syncing now."));
}

QString InstanceService::StopCalendarSync(bool& worked)
{
    return answerWhenDone(&CalendarSyncRunner::stopSyncing, worked, QString());
}

QString
InstanceService::answerWhenDone(void (CalendarSyncRunner::*run)(std::function<void(bool, const QString&)>),
                                bool& worked, const QString& started)
{
    worked = false;
    if (!m_calendarSync)
        return QStringLiteral("This vorn todo doesn't sync with a calendar server.");
    if (!calledFromDBus()) {
        worked = true;
        (m_calendarSync->*run)([](bool, const QString&) {});
        return started;
    }
    // The answer goes when the sync ends, which may be minutes; the app goes on meanwhile.
    setDelayedReply(true);
    (m_calendarSync->*run)([call = message(), bus = connection()](bool ok, const QString& said) {
        bus.send(call.createReply(QVariantList{said, ok}));
    });
    return {};
}

void InstanceService::CalendarAccountChanged()
{
    if (m_calendarSync)
        m_calendarSync->accountSetUp();
}

QString InstanceService::ImportCalendar(const QString& text)
{
    if (const qint64 bytes = utf8Size(text); bytes > kImportFileLimit) {
        if (calledFromDBus())
            sendErrorReply(QDBusError::LimitsExceeded, tooBigToImport(QStringLiteral("That"), bytes));
        return {};
    }
    const ImportOutcome outcome = importCalendar(m_model, ical::readCalendar(text.toUtf8()));
    m_model.showToast(importToast(outcome));
    return describeImport(outcome);
}

InstanceAnswer callInstance(QDBusConnection bus, const QString& method, const QVariantList& arguments,
                            QString* error, QVariantList* reply, int answerWithinMSecs)
{
    const QString name = QString::fromLatin1(kInstanceServiceName);
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(name).value())
        return InstanceAnswer::noInstance;
    QDBusMessage call = QDBusMessage::createMethodCall(name, QString::fromLatin1(kInstanceObjectPath),
                                                       QString::fromLatin1(kInstanceInterface), method);
    call.setArguments(arguments);
    const QDBusMessage answer = bus.call(call, QDBus::Block, answerWithinMSecs);
    if (answer.type() == QDBusMessage::ReplyMessage) {
        if (reply)
            *reply = answer.arguments();
        return InstanceAnswer::done;
    }
    // The owner left between the question and the call: nobody is running any more.
    if (answer.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        answer.errorName() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return InstanceAnswer::noInstance;
    if (error)
        *error = answer.errorMessage();
    // Our own wait ran out (an app that quit meanwhile is a NoReply in other words).
    if (answer.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply") &&
        answer.errorMessage().contains(QLatin1String("timeout"), Qt::CaseInsensitive))
        return InstanceAnswer::timedOut;
    return InstanceAnswer::failed;
}

} // namespace vorn
