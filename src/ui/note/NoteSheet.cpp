#include "ui/note/NoteSheet.h"

#include "model/AppModel.h"
#include "notes/DocumentCopy.h"
#include "notes/RichText.h"
#include "notes/editor/NoteEditor.h"
#include "notes/view/NoteTextView.h"
#include "pixel/Theme.h"
#include "text/InputLimits.h"
#include "text/TitleText.h"
#include "ui/components/ThemedLabel.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

namespace vorn {

namespace {

constexpr int kHeaderSpacing = 10;
constexpr int kHeaderPaddingX = 16;
constexpr int kHeaderPaddingY = 10;
constexpr int kEditorMinWidth = 560;
constexpr int kEditorMinHeight = 420;
constexpr qreal kSelectionOpacity = 0.45;
// Up to this many characters a note is encoded and written at once (a few milliseconds); a longer one
// is taken as a snapshot and encoded and written off this thread, so that typing never waits for it.
constexpr int kInlineSaveCharacters = 32 * 1024;

} // namespace

NoteSheet::NoteSheet(AppModel& model, NoteTarget target, QWidget* parent)
    : QDialog(parent), m_model(model), m_target(std::move(target))
{
    setObjectName(QStringLiteral("noteSheet"));
    setWindowTitle(QStringLiteral("Note"));
    setWindowModality(Qt::WindowModal);
    resize(defaultSize);
    setAutoFillBackground(true);

    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setSpacing(kHeaderSpacing);
    row->setContentsMargins(kHeaderPaddingX, kHeaderPaddingY, kHeaderPaddingX, kHeaderPaddingY);

    m_title = new QLineEdit(header);
    m_title->setObjectName(QStringLiteral("noteTitle"));
    m_title->setPlaceholderText(QStringLiteral("Title"));
    m_title->setFrame(false);
    m_title->setMaxLength(int(kTitleLimit));
    m_title->setFont(uiFont(13, QFont::DemiBold));
    m_title->installEventFilter(this);
    row->addWidget(m_title, 1);

    m_format = new QPushButton(QStringLiteral("Aa"), header);
    m_format->setObjectName(QStringLiteral("noteFormat"));
    m_format->setFont(uiFont(13, QFont::Medium));
    m_format->setFixedSize(30, 22);
    m_format->setFlat(true);
    m_format->setAutoDefault(false);
    m_format->setFocusPolicy(Qt::NoFocus);
    m_format->setToolTip(QStringLiteral("Format: styles, bold, lists, dividers"));
    m_format->setAccessibleName(QStringLiteral("Format"));
    row->addWidget(m_format);

    m_done = new QPushButton(QStringLiteral("Done"), header);
    m_done->setObjectName(QStringLiteral("noteDone"));
    m_done->setDefault(true);
    m_done->setAutoDefault(false);
    connect(m_done, &QPushButton::clicked, this, &NoteSheet::finish);
    row->addWidget(m_done);

    m_line = new QWidget(this);
    m_line->setFixedHeight(1);
    m_line->setAutoFillBackground(true);

    m_goneLine = new ThemedLabel(QString(), uiFont(12), Color::vornMuted(), this);
    m_goneLine->setObjectName(QStringLiteral("noteGone"));
    m_goneLine->setWordWrap(true);
    m_goneLine->setContentsMargins(kHeaderPaddingX, kHeaderPaddingY / 2, kHeaderPaddingX,
                                   kHeaderPaddingY / 2);
    m_goneLine->hide();

    m_editor = new notes::NoteEditor(this);
    m_editor->setMinimumSize(kEditorMinWidth, kEditorMinHeight);
    connect(m_format, &QPushButton::clicked, this, [this] { m_editor->showFormat(m_format); });

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(header);
    column->addWidget(m_line);
    column->addWidget(m_goneLine);
    column->addWidget(m_editor, 1);

    // A burst of typing saves once, a moment after its last key.
    m_pendingSave = m_model.timers().make(QStringLiteral("noteSave"), false, [this] { save(); });
    connect(m_editor, &notes::NoteEditor::edited, this, [this] { m_pendingSave->start(saveDelayMSecs); });

    connect(&m_model, &AppModel::changed, this, [this](AppModel::Field field) {
        if ((field == AppModel::Field::records || field == AppModel::Field::familyThings) && !targetExists())
            noticeGone();
    });

    applyColors();
    connect(AppearanceWatcher::instance(), &AppearanceWatcher::changed, this, &NoteSheet::applyColors);
    loadNote();
}

NoteSheet::~NoteSheet() = default;

void NoteSheet::applyColors()
{
    const QColor background = Color::vornBackground().resolved();
    QPalette p = palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::Base, background);
    setPalette(p);
    QPalette titlePalette = m_title->palette();
    titlePalette.setColor(QPalette::Text, Color::vornText().resolved());
    titlePalette.setColor(QPalette::Base, background);
    m_title->setPalette(titlePalette);
    QPalette linePalette = m_line->palette();
    linePalette.setColor(QPalette::Window, Color::vornFaint().resolved());
    m_line->setPalette(linePalette);
    m_editor->setBackground(background);
    QColor selection = Color::yawn;
    selection.setAlphaF(kSelectionOpacity);
    m_editor->setSelectionColor(selection);
}

QString NoteSheet::currentTitle() const
{
    if (const std::optional<RecordId> id = m_target.thingID()) {
        const Thing* thing = m_model.store().thing(*id);
        return thing ? thing->title() : QString();
    }
    const std::optional<SharedThing> row = m_model.sharedThing(*m_target.sharedID());
    return row ? row->title : QString();
}

bool NoteSheet::targetExists() const
{
    if (const std::optional<RecordId> id = m_target.thingID())
        return m_model.store().thing(*id) != nullptr;
    return m_model.sharedThing(*m_target.sharedID()).has_value();
}

void NoteSheet::noticeGone()
{
    if (m_gone || !m_loaded)
        return;
    m_gone = true;
    m_goneLine->setText(
        QStringLiteral("Deleted in Vorn Planner. Keep typing and it comes back as a new thing "
                       "in Today."));
    m_goneLine->show();
}

void NoteSheet::loadNote()
{
    m_title->setText(editableTitle(currentTitle()));
    const NoteContent content = m_model.noteContent(m_target);
    m_editor->load(content.rtf, content.plain);
    m_savedText = m_editor->plainText().trimmed();
    m_loaded = true;
}

void NoteSheet::save()
{
    if (!m_loaded)
        return;
    m_pendingSave->stop();
    if (m_editor->textView().document()->characterCount() > kInlineSaveCharacters && !m_gone &&
        targetExists()) {
        auto snapshot = std::make_shared<const notes::RichText::Snapshot>(m_editor->snapshot());
        const QString plain = notes::plainText(snapshot->text);
        m_savedText = plain.trimmed();
        m_model.saveNoteLater(
            m_target, [snapshot] { return notes::RichText::encode(*snapshot); }, plain);
        return;
    }
    const std::optional<QByteArray> rtf = m_editor->isEmpty() ? std::nullopt : m_editor->rtf();
    const QString plain = m_editor->plainText();
    if (m_gone || !targetExists()) {
        noticeGone();
        // Nothing typed since it went: the planner's delete stands.
        if (plain.trimmed() == m_savedText)
            return;
        const std::optional<RecordId> kept = m_model.keepNoteAsNewThing(m_title->text(), rtf, plain);
        if (!kept)
            return;
        m_gone = false;
        m_goneLine->setText(QStringLiteral("Deleted in Vorn Planner, so this is a new thing in Today now."));
        // The sheet goes on with the new thing; the view that shows it follows the model.
        m_target = NoteTarget::thing(*kept);
        m_model.setEditingNote(m_target);
        m_savedText = plain.trimmed();
        return;
    }
    m_savedText = plain.trimmed();
    m_model.saveNote(m_target, rtf, plain);
}

void NoteSheet::rename()
{
    const QString title = m_title->text();
    if (title == currentTitle())
        return;
    const std::optional<RecordId> id = m_target.thingID();
    m_model.rename(id ? RowID::thing(*id) : RowID::shared(*m_target.sharedID()), title);
}

void NoteSheet::finish()
{
    save();
    // What was typed is in its file before the note is let go.
    m_model.settleNotes();
    rename();
    // Letting go of the note closes the sheet (whoever shows it follows the model).
    m_model.setEditingNote(std::nullopt);
}

bool NoteSheet::eventFilter(QObject* watched, QEvent* event)
{
    // Return in the title renames and stays: the dialog would take it for Done.
    if (watched == m_title && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            rename();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void NoteSheet::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Once the sheet is on screen, typing goes into the note.
    QTimer::singleShot(0, this, [this] {
        if (m_editor->window()->isVisible())
            m_editor->focusText();
    });
}

void NoteSheet::hideEvent(QHideEvent* event)
{
    save();
    // A sheet that goes with its window (a quit) waits for its save too.
    m_model.settleNotes();
    QDialog::hideEvent(event);
}

void NoteSheet::reject()
{
    finish();
}

void NoteSheet::accept()
{
    finish();
}

} // namespace vorn
