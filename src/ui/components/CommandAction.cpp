#include "ui/components/CommandAction.h"

#include "model/AppModel.h"

#include <QAction>

namespace vorn {

void refreshCommandAction(QAction* action, const Command& command, AppModel& model)
{
    const CommandContext context = selectionContext(model);
    action->setText(command.labelFor(context));
    if (command.enabled)
        action->setEnabled(command.enabled(context));
    if (command.checked)
        action->setChecked(command.checked(context));
}

QAction* commandAction(const Command& command, AppModel& model, CommandHost host, QObject* parent)
{
    auto* action = new QAction(command.label, parent);
    action->setObjectName(command.name);
    action->setShortcuts(command.keys);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setCheckable(bool(command.checked));
    const CommandId id = command.id;
    QObject::connect(action, &QAction::triggered, action, [&model, id, host] {
        CommandContext context = selectionContext(model);
        context.toTextField = host.toTextField;
        context.toWindow = host.toWindow;
        runCommand(vorn::command(id), context);
    });
    if (command.enabled || command.checked || command.liveLabel) {
        // Labels, grey and checks follow the model; the same context as a run would get.
        const auto refresh = [action, id, &model] { refreshCommandAction(action, vorn::command(id), model); };
        QObject::connect(&model, &AppModel::changed, action, refresh);
        refresh();
    }
    return action;
}

} // namespace vorn
