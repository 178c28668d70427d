#include "app/ListCommand.h"

#include "text/TitleText.h"

namespace vorn {

std::optional<Source> sourceNamed(const AppModel& model, const QString& name)
{
    const QString wanted = name.trimmed().toLower();
    for (TodoList list : kAllTodoLists) {
        const Source s = Source::list(list);
        if (model.title(s) == wanted)
            return s;
    }
    for (Pile* p : model.piles()) {
        if (p->name().toLower() == wanted)
            return Source::pile(p->id());
    }
    return std::nullopt;
}

QString renderList(const AppModel& model, const Source& source)
{
    QString out;
    for (const ListRow& row : model.rows(source, true)) {
        const Thing* t = row.thing();
        const bool done = t ? t->isDone() : row.sharedThing()->done;
        // One thing, one line, whatever the title holds (the planner may write anything).
        const QString title = oneLine(t ? t->title() : row.sharedThing()->title);
        out += (done ? QLatin1String("- [x] ") : QLatin1String("- [ ] ")) + title + u'\n';
    }
    return out;
}

} // namespace vorn
