#include "app/StoreCommand.h"

#include "app/InstanceService.h"
#include "app/StoreLock.h"
#include "model/Launch.h"

namespace vorn {

namespace {

CommandResult storeUnopened(const QString& why)
{
    return {1, storeUnopenedMessage(why), false};
}

} // namespace

QString storeUnopenedMessage(const QString& why)
{
    return QStringLiteral("Couldn't open the store: ") + why;
}

CommandResult readStore(const Launch& launch, const std::function<CommandResult(AppModel&)>& look)
{
    Launch readOnly = launch;
    readOnly.readOnly = true;
    QString why;
    const std::unique_ptr<AppModel> model = openModel(readOnly, &why);
    if (!model)
        return storeUnopened(why);
    return look(*model);
}

CommandResult changeStore(const Launch& launch, QDBusConnection bus, const StoreChange& change)
{
    if (launch.storeLockPath().isEmpty())
        return {2, change.refusedInDemo};
    QString said;
    // -1: nobody is running; else the exit code, with the running app's answer in `said`.
    const auto throughApp = [&] {
        QString why;
        QVariantList reply;
        switch (callInstance(bus, change.method, change.arguments, &why, &reply, change.answerWithinMSecs)) {
        case InstanceAnswer::done:
            said = reply.isEmpty() ? QString() : reply.first().toString();
            return change.exitCodeOf ? change.exitCodeOf(reply) : 0;
        case InstanceAnswer::failed:
            said = QStringLiteral("the running vorn todo didn't take it: ") + why;
            return 1;
        case InstanceAnswer::timedOut:
            said = change.tooLong.isEmpty()
                       ? QStringLiteral("the running vorn todo didn't answer in time; ") + change.elsewhere
                       : change.tooLong;
            return 1;
        case InstanceAnswer::noInstance:
            break;
        }
        return -1;
    };
    std::unique_ptr<QLockFile> lock;
    if (const std::optional<int> answered = throughAppOrLockedStore(launch, bus, throughApp, lock)) {
        if (*answered == 1 && said.isEmpty())
            said = QStringLiteral("vorn todo is running and can't be reached over the session bus; ") +
                   change.elsewhere;
        return {*answered, said};
    }

    QString why;
    std::unique_ptr<AppModel> model = openModel(launch.withoutWindow(), &why);
    if (!model)
        return storeUnopened(why);
    said = change.apply(*model);
    if (!model->saveNow(&why))
        return {1, QStringLiteral("couldn't save: ") + why};
    // Releasing the model mirrors the change into the family file before we exit.
    model.reset();
    return {0, said};
}

} // namespace vorn
