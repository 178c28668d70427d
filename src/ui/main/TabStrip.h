#pragma once

#include "model/Entities.h"
#include "ui/main/PileDeletePrompt.h"
#include "ui/main/PileNameField.h"

#include <QPointer>
#include <QWidget>

#include <optional>
#include <vector>

class QMenu;

namespace vorn {

class AppModel;
class PileNameField;
class PixelButton;
class TabButton;

// The row of tabs: Today, Later, Done-ish, Random, a separator, one tab per pile and the new-list
// button. It reads the model and calls its operations; it holds only which popover or prompt is open.
// When the row is short of room it first elides long list names, then folds tabs, last first, into
// a menu behind a button at its end; the selected tab is folded only when nothing else is left.
class TabStrip : public QWidget {
    Q_OBJECT

public:
    explicit TabStrip(AppModel& model, QWidget* parent = nullptr);

    // Tests answer the delete confirmation through this instead of a modal dialog.
    void setDeleteConfirmer(PileDeleteConfirmer confirmer) { m_confirmer = std::move(confirmer); }

    // The tabs in strip order: built-in lists, random, then piles.
    std::vector<TabButton*> tabs() const;
    TabButton* tabFor(const Tab& tab) const;
    PixelButton* newListButton() const { return m_newList; }
    PixelButton* overflowButton() const { return m_overflow; }
    // The tabs there was no room for, in strip order.
    std::vector<Tab> foldedTabs() const;
    // The menu of the folded tabs; the caller owns and shows it.
    QMenu* makeOverflowMenu(QWidget* parent);

    bool isNaming() const { return m_naming != nullptr; }
    std::optional<RecordId> renaming() const { return m_renamingId; }
    PileNameField* namingField() const { return m_naming; }
    PileNameField* renamingField() const { return m_renaming; }

    // The pile tab's context menu ("Rename…", "Delete…"); the caller owns and shows it.
    QMenu* makePileMenu(RecordId pile, QWidget* parent);
    void startRenaming(RecordId pile);
    // Asks the confirmer and carries out its answer.
    void confirmDelete(RecordId pile);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Entry {
        Tab tab;
        TabButton* button;
    };

    TabButton* addTab(const Tab& tab, const QString& title);
    void rebuildPileTabs();
    void refresh();
    void refreshSelection();
    void layoutTabs();
    void openNaming();
    PileNameField* openPopover(const QString& title, const QString& initial, QWidget* anchor);

    AppModel& m_model;
    QWidget* m_separator;
    PixelButton* m_newList;
    PixelButton* m_overflow;
    std::vector<Entry> m_fixed;
    std::vector<Entry> m_pileTabs;
    std::vector<RecordId> m_shownPiles;
    std::vector<Tab> m_folded;
    QPointer<PileNameField> m_naming;
    QPointer<PileNameField> m_renaming;
    std::optional<RecordId> m_renamingId;
    std::optional<RecordId> m_deleting;
    PileDeleteConfirmer m_confirmer = askWithMessageBox;
};

} // namespace vorn
