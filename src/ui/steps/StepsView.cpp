#include "ui/steps/StepsView.h"

#include "model/AppModel.h"
#include "pixel/PixelView.h"
#include "pixel/Pixels.h"
#include "store/Records.h"
#include "ui/components/ThemedLabel.h"
#include "ui/steps/StepRow.h"
#include "ui/steps/StepsLayout.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace vorn {

StepsView::StepsView(AppModel& model, const Thing& thing, ListStyle style, QWidget* parent)
    : QWidget(parent), m_model(model), m_thing(thing.id()), m_style(style)
{
    setObjectName(QStringLiteral("stepsView"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, steps::bottomPadding);
    outer->setSpacing(0);
    m_rowsLayout = new QVBoxLayout;
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(0);
    outer->addLayout(m_rowsLayout);

    auto* addRow = new QWidget(this);
    addRow->setObjectName(QStringLiteral("addStepRow"));
    addRow->setFixedHeight(steps::rowHeight);
    auto* addLayout = new QHBoxLayout(addRow);
    addLayout->setContentsMargins(steps::indent(style), 0, 0, 0);
    addLayout->setSpacing(steps::rowSpacing);
    auto* plus = new PixelView(Pixels::plus(), 2, addRow);
    plus->setForeground(Color::vornFaint());
    auto* plusFrame = new QWidget(addRow);
    plusFrame->setFixedSize(steps::glyphFrame, steps::glyphFrame);
    auto* frameLayout = new QHBoxLayout(plusFrame);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    frameLayout->addWidget(plus, 0, Qt::AlignCenter);
    addLayout->addWidget(plusFrame, 0, Qt::AlignVCenter);
    m_addField = new QLineEdit(addRow);
    m_addField->setObjectName(QStringLiteral("addStepField"));
    m_addField->setPlaceholderText(QStringLiteral("Add a step"));
    m_addField->setFrame(false);
    // The field sits on the list itself, not on a box of its own.
    m_addField->setStyleSheet(QStringLiteral("background: transparent;"));
    m_addField->setFont(uiFont(steps::titlePixelSize));
    m_addField->installEventFilter(this);
    addLayout->addWidget(m_addField, 1, Qt::AlignVCenter);
    outer->addWidget(addRow);

    connect(&m_model, &AppModel::changed, this, [this](AppModel::Field field) {
        // Record changes come once per turn, whoever made them (this view, undo, a sync from the family).
        if (field == AppModel::Field::records)
            rebuild();
        else if (field == AppModel::Field::addStepRequest)
            focusAddFieldIfRequested();
    });
    rebuild();
}

Thing* StepsView::thing() const
{
    return m_model.store().thing(m_thing);
}

Step* StepsView::step(RecordId id) const
{
    Step* s = m_model.store().step(id);
    // A step moved to another thing or deleted is no longer ours to touch.
    return s && s->isLive() && s->thing() && s->thing()->id() == m_thing ? s : nullptr;
}

StepRow* StepsView::row(RecordId step) const
{
    for (StepRow* r : m_rows) {
        if (r->stepId() == step)
            return r;
    }
    return nullptr;
}

void StepsView::rebuild()
{
    for (StepRow* r : m_rows) {
        // Dropping the caret first keeps Qt from handing it to the add field as the editor goes.
        if (r->editor() && r->editor()->hasFocus()) {
            r->editor()->clearFocus();
            // A change from elsewhere while typing a title must not take the caret away.
            m_focusEditor = m_editing.has_value();
        }
        r->hide();
        // Rows may be rebuilt from inside one of their own signals.
        r->deleteLater();
    }
    m_rows.clear();
    Thing* t = thing();
    if (!t)
        return;
    if (m_editing && !step(*m_editing))
        m_editing.reset();
    const int indent = steps::indent(m_style);
    for (Step* s : t->orderedSteps()) {
        const bool editingThis = m_editing == s->id();
        auto* r = new StepRow(*s, indent, editingThis ? &m_editDraft : nullptr, this);
        const RecordId id = s->id();
        connect(r, &StepRow::toggleRequested, this, [this, id] { toggle(id); });
        connect(r, &StepRow::editRequested, this, [this, id] { beginEditing(id); });
        connect(r, &StepRow::deleteRequested, this, [this, id] { deleteStep(id); });
        connect(r, &StepRow::editDraftChanged, this, [this](const QString& text) { m_editDraft = text; });
        connect(r, &StepRow::renameRequested, this,
                [this, id](const QString& text) { finishEditing(id, text); });
        connect(r, &StepRow::editCancelled, this, [this, id] { finishEditing(id, std::nullopt); });
        m_rowsLayout->addWidget(r);
        m_rows.push_back(r);
        if (editingThis && m_focusEditor) {
            m_focusEditor = false;
            // Focus changes wait for the next turn, once the editor is laid out and shown.
            QTimer::singleShot(0, r->editor(),
                               [editor = r->editor()] { editor->setFocus(Qt::OtherFocusReason); });
        }
    }
}

void StepsView::beginEditing(RecordId id)
{
    Step* s = step(id);
    if (!s)
        return;
    m_editDraft = s->title();
    m_editing = id;
    m_focusEditor = true;
    rebuild();
}

void StepsView::finishEditing(RecordId id, const std::optional<QString>& title)
{
    if (title) {
        if (Step* s = step(id))
            m_model.renameStep(*s, *title); // trims, refuses a blank title and schedules the sync
    }
    m_editing.reset();
    rebuild();
    Q_EMIT typingEnded();
}

void StepsView::toggle(RecordId id)
{
    if (Step* s = step(id))
        m_model.toggleStep(*s);
}

void StepsView::addStep()
{
    const QString title = m_addField->text();
    m_addField->clear();
    if (Thing* t = thing())
        m_model.addStep(*t, title);
}

void StepsView::cancelAdd()
{
    m_addField->clear();
    m_addField->clearFocus();
    Q_EMIT typingEnded();
    // An empty steps area has nothing left to show, so the thing closes again.
    if (Thing* t = thing(); t && t->steps().empty())
        m_model.setExpanded(*t, false);
}

void StepsView::deleteStep(RecordId id)
{
    if (Step* s = step(id))
        m_model.removeStep(*s);
}

void StepsView::focusAddFieldIfRequested()
{
    const auto& request = m_model.addStepRequest();
    if (!request || request->id != m_thing)
        return;
    QTimer::singleShot(0, m_addField, [field = m_addField] { field->setFocus(Qt::OtherFocusReason); });
}

void StepsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        focusAddFieldIfRequested();
}

bool StepsView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_addField && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            addStep();
            return true;
        }
        if (key == Qt::Key_Escape) {
            cancelAdd();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace vorn
