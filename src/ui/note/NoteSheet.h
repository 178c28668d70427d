#pragma once

#include "model/Entities.h"

#include <QDialog>
#include <QSize>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vorn {

class AppModel;
class Timer;

namespace notes {
class NoteEditor;
}

// The sheet in which the note of one thing (ours or the planner's) is edited: its title, the format
// button, Done, and the editor. The note is saved 0.8 s after the last change, when the sheet goes and
// when it is closed; the title is renamed by Return, Done and Escape. It is a window-modal child of the
// main window, never a window of its own in the taskbar.
class NoteSheet : public QDialog {
    Q_OBJECT

public:
    static constexpr int saveDelayMSecs = 800;
    static constexpr QSize defaultSize{640, 520};

    NoteSheet(AppModel& model, NoteTarget target, QWidget* parent);
    ~NoteSheet() override;

    const NoteTarget& target() const { return m_target; }
    notes::NoteEditor& editor() const { return *m_editor; }
    QLineEdit* titleField() const { return m_title; }
    QPushButton* formatButton() const { return m_format; }
    QPushButton* doneButton() const { return m_done; }

    void save();
    void rename();
    // Done and Escape: save, rename, then let go of the note, which closes the sheet.
    void finish();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void reject() override;
    void accept() override;

private:
    QString currentTitle() const;
    bool targetExists() const;
    // The thing went while the note was open: say so, and keep what is typed from now on.
    void noticeGone();
    void loadNote();
    void applyColors();

    AppModel& m_model;
    NoteTarget m_target;
    QLineEdit* m_title;
    QPushButton* m_format;
    QPushButton* m_done;
    QWidget* m_line;
    notes::NoteEditor* m_editor;
    QLabel* m_goneLine;
    bool m_gone = false;
    // The note's text when it was loaded or last saved: a gone thing's note is kept only when it moved on.
    QString m_savedText;
    std::unique_ptr<Timer> m_pendingSave;
    bool m_loaded = false;
};

} // namespace vorn
