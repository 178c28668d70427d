#include "app/QuickAdd.h"

#include "model/AppModel.h"
#include "text/InputLimits.h"
#include "text/TitleText.h"

namespace vorn {

CommandResult quickAdd(const Launch& launch, QDBusConnection bus, const QString& title)
{
    const TitleInput in = titleInput(title);
    if (in.problem == TitleInput::Problem::blank)
        return {2, QStringLiteral("--add needs a title, for example: vorn-todo --add \"call the bank\"")};
    if (in.problem == TitleInput::Problem::tooLong)
        return {2,
                titleTooLongMessage() + QStringLiteral(" That one has %1.").arg(limitText(in.text.size()))};
    StoreChange change;
    change.refusedInDemo = QStringLiteral("--add writes your own list, so it doesn't go with -demo");
    change.method = QStringLiteral("AddThing");
    change.arguments = {in.text};
    change.elsewhere = QStringLiteral("add it in its window");
    change.apply = [&in](AppModel& model) {
        model.add(in.text, Source::today);
        return QString();
    };
    return changeStore(launch, bus, change);
}

} // namespace vorn
