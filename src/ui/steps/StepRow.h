#pragma once

#include "store/RecordId.h"

#include <QWidget>

class QAction;
class QLineEdit;

namespace vorn {

class CheckButton;
class Step;
class ThemedLabel;

// One step: its box, its title (or the title editor while editing) and its context menu.
// The row only reports what the user asked for; the steps view acts on the model.
class StepRow : public QWidget {
    Q_OBJECT

public:
    // `editDraft` is set when the row is built in editing mode.
    StepRow(const Step& step, int indent, const QString* editDraft, QWidget* parent = nullptr);

    RecordId stepId() const { return m_id; }
    QLineEdit* editor() const { return m_editor; }

Q_SIGNALS:
    void toggleRequested();
    void editRequested();
    void deleteRequested();
    void editDraftChanged(const QString& text);
    void renameRequested(const QString& text);
    void editCancelled();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    RecordId m_id;
    CheckButton* m_check = nullptr;
    ThemedLabel* m_title = nullptr;
    QLineEdit* m_editor = nullptr;
};

} // namespace vorn
