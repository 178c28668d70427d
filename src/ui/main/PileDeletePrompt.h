#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace vorn {

enum class PileDeleteChoice { moveThingsToLater, deleteThingsToo, cancel };

// What the delete confirmation says about one pile.
struct PileDeletePrompt {
    QString title;
    QString message;

    static PileDeletePrompt forPile(const QString& name, int thingCount);
};

// Asks the user and returns the choice. A seam: tests answer without a modal dialog.
using PileDeleteConfirmer = std::function<PileDeleteChoice(const PileDeletePrompt&, QWidget* parent)>;

// The real confirmer: a message box with "Move Things to Later", "Delete Things Too" and "Cancel".
PileDeleteChoice askWithMessageBox(const PileDeletePrompt& prompt, QWidget* parent);

} // namespace vorn
