#include "app/QuickAdd.h"

#include "app/InstanceService.h"
#include "app/StoreLock.h"
#include "model/Startup.h"
#include "text/InputLimits.h"
#include "text/TitleText.h"

namespace vorn {

namespace {

int addThroughInstance(QDBusConnection bus, const QString& title, QString* error)
{
    QString why;
    switch (callInstance(bus, QStringLiteral("AddThing"), {title}, &why)) {
    case InstanceAnswer::done:
        return 0;
    case InstanceAnswer::failed:
        *error = QStringLiteral("the running vorn todo didn't take it: ") + why;
        return 1;
    case InstanceAnswer::noInstance:
        break;
    }
    return -1;
}

} // namespace

int quickAdd(const Launch& launch, QDBusConnection bus, const QString& title, QString* error)
{
    const TitleInput in = titleInput(title);
    if (in.problem == TitleInput::Problem::blank) {
        *error = QStringLiteral("--add needs a title, for example: vorn-todo --add \"call the bank\"");
        return 2;
    }
    if (in.problem == TitleInput::Problem::tooLong) {
        *error = titleTooLongMessage() + QStringLiteral(" That one has %1.").arg(limitText(in.text.size()));
        return 2;
    }
    // A demo's store is thrown away at exit: "added" would be a lie.
    if (launch.storeLockPath().isEmpty()) {
        *error = QStringLiteral("--add writes your own list, so it doesn't go with -demo");
        return 2;
    }
    std::unique_ptr<QLockFile> lock;
    const std::optional<int> answered = throughAppOrLockedStore(
        launch, bus, [&] { return addThroughInstance(bus, in.text, error); }, lock);
    if (answered == 1 && error->isEmpty())
        *error = QStringLiteral("vorn todo is running and can't be reached over the session bus; add it "
                                "in its window");
    if (answered)
        return *answered;

    QString why;
    std::unique_ptr<Store> store = makeStore(launch, &why);
    if (!store) {
        *error = QStringLiteral("Couldn't open the store: ") + why;
        return 1;
    }
    Store* opened = store.get();
    std::unique_ptr<AppModel> model = makeModel(launch.withoutWindow(), std::move(store));
    model->add(in.text, Source::today);
    if (!opened->save(&why)) {
        *error = QStringLiteral("couldn't save: ") + why;
        return 1;
    }
    // Releasing the model mirrors the new thing into the family file before we exit.
    model.reset();
    return 0;
}

} // namespace vorn
