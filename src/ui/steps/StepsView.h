#pragma once

#include "store/RecordId.h"
#include "ui/components/ListStyle.h"

#include <QWidget>

#include <optional>
#include <vector>

class QLineEdit;
class QVBoxLayout;

namespace vorn {

class AppModel;
class Step;
class StepRow;
class Thing;

// The steps of one expanded thing, shown under its row: a row per step in step order, then the
// always-present add-step field. It holds only view state (drafts, which step is being edited).
class StepsView : public QWidget {
    Q_OBJECT

public:
    StepsView(AppModel& model, const Thing& thing, ListStyle style, QWidget* parent = nullptr);

    RecordId thingId() const { return m_thing; }
    QLineEdit* addField() const { return m_addField; }
    const std::vector<StepRow*>& rows() const { return m_rows; }
    StepRow* row(RecordId step) const;
    const std::optional<RecordId>& editing() const { return m_editing; }
    void beginEditing(RecordId step);

Q_SIGNALS:
    // A step title was committed or dropped, or the add field let go: the keys go back to the list,
    // so the keyboard never ends up on no widget at all.
    void typingEnded();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Thing* thing() const;
    Step* step(RecordId id) const;
    void rebuild();
    void addStep();
    void cancelAdd();
    void deleteStep(RecordId id);
    void toggle(RecordId id);
    void finishEditing(RecordId id, const std::optional<QString>& title);
    void focusAddFieldIfRequested();

    AppModel& m_model;
    RecordId m_thing;
    ListStyle m_style;
    std::optional<RecordId> m_editing;
    QString m_editDraft;
    bool m_focusEditor = false; // the editor takes the caret once it exists
    QVBoxLayout* m_rowsLayout = nullptr;
    QLineEdit* m_addField = nullptr;
    std::vector<StepRow*> m_rows;
};

} // namespace vorn
