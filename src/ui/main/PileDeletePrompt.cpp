#include "ui/main/PileDeletePrompt.h"

#include "model/Commands.h"
#include "model/KeyNames.h"

#include <QMessageBox>
#include <QPushButton>

namespace vorn {

PileDeletePrompt PileDeletePrompt::forPile(const QString& name, int thingCount)
{
    PileDeletePrompt prompt;
    prompt.title = QStringLiteral("Delete \u201C") + name + QStringLiteral("\u201D?");
    if (thingCount <= 0) {
        prompt.message = QStringLiteral("It's empty.");
    } else {
        const QString phrase = thingCount == 1 ? QStringLiteral("1 thing")
                                               : QString::number(thingCount) + QStringLiteral(" things");
        prompt.message = QStringLiteral("It has ") + phrase + QStringLiteral(" in it. ") +
                         keyName(commandKeys(CommandId::undo)) + QStringLiteral(" undoes this.");
    }
    return prompt;
}

PileDeleteChoice askWithMessageBox(const PileDeletePrompt& prompt, QWidget* parent)
{
    QMessageBox box(parent);
    box.setWindowTitle(prompt.title);
    box.setText(prompt.title);
    box.setInformativeText(prompt.message);
    QPushButton* keep = box.addButton(QStringLiteral("Move Things to Later"), QMessageBox::AcceptRole);
    QPushButton* drop = box.addButton(QStringLiteral("Delete Things Too"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(keep);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == keep)
        return PileDeleteChoice::moveThingsToLater;
    if (box.clickedButton() == drop)
        return PileDeleteChoice::deleteThingsToo;
    return PileDeleteChoice::cancel;
}

} // namespace vorn
