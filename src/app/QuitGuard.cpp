#include "app/QuitGuard.h"

#include "model/AppModel.h"
#include "ui/list/ThingListView.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace vorn {

void commitDrafts()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        for (ThingListView* list : window->findChildren<ThingListView*>())
            list->commitDrafts();
    }
}

bool readyToQuit(AppModel& model, QWidget* parent, const UnsavedQuitConfirmer& confirm)
{
    commitDrafts();
    QString why;
    if (model.saveNow(&why))
        return true;
    return confirm(parent, why);
}

bool askBeforeQuittingUnsaved(QWidget* parent, const QString& why)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("vorn todo"),
                    QStringLiteral("Your latest changes couldn't be saved."), QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("unsavedQuitQuestion"));
    box.setInformativeText(QStringLiteral("%1\n\nQuit anyway and I'll keep them in a rescue file for the "
                                          "next start, or keep the window open and free some room first.")
                               .arg(why));
    QPushButton* quit = box.addButton(QStringLiteral("Quit Anyway"), QMessageBox::DestructiveRole);
    QPushButton* stay = box.addButton(QStringLiteral("Keep Open"), QMessageBox::RejectRole);
    box.setDefaultButton(stay);
    box.setEscapeButton(stay);
    box.exec();
    return box.clickedButton() == quit;
}

} // namespace vorn
