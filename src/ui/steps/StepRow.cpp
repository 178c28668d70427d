#include "ui/steps/StepRow.h"

#include "store/Records.h"
#include "ui/components/CheckButton.h"
#include "ui/components/ThemedLabel.h"
#include "ui/steps/StepsLayout.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>

namespace vorn {

StepRow::StepRow(const Step& step, int indent, const QString* editDraft, QWidget* parent)
    : QWidget(parent), m_id(step.id())
{
    setObjectName(QStringLiteral("stepRow"));
    setFixedHeight(steps::rowHeight);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(indent, 0, 0, 0);
    layout->setSpacing(steps::rowSpacing);

    m_check = new CheckButton(
        step.isDone(), [this] { Q_EMIT toggleRequested(); }, this);
    m_check->setObjectName(QStringLiteral("stepCheck"));
    // The shared box names a thing's state; here it names the step's.
    m_check->setAccessibleName(step.isDone() ? QStringLiteral("Step done") : QStringLiteral("Step not done"));
    layout->addWidget(m_check, 0, Qt::AlignVCenter);

    if (editDraft) {
        m_editor = new QLineEdit(*editDraft, this);
        m_editor->setObjectName(QStringLiteral("stepTitleEditor"));
        m_editor->setPlaceholderText(QStringLiteral("Step"));
        m_editor->setFrame(false);
        // The field sits on the list itself, not on a box of its own.
        m_editor->setStyleSheet(QStringLiteral("background: transparent;"));
        m_editor->setFont(uiFont(steps::titlePixelSize));
        m_editor->installEventFilter(this);
        connect(m_editor, &QLineEdit::textEdited, this,
                [this](const QString& text) { Q_EMIT editDraftChanged(text); });
        layout->addWidget(m_editor, 1, Qt::AlignVCenter);
    } else {
        QFont font = uiFont(steps::titlePixelSize);
        font.setStrikeOut(step.isDone());
        m_title =
            new ThemedLabel(step.title(), font, step.isDone() ? Color::vornFaint() : Color::vornText(), this);
        m_title->setObjectName(QStringLiteral("stepTitle"));
        m_title->setWordWrap(false);
        m_title->installEventFilter(this);
        layout->addWidget(m_title, 0, Qt::AlignVCenter);
        layout->addStretch(1);
    }

    // The menu is the row's actions, so it can be reached (and tested) without opening a popup.
    auto* toggle = new QAction(step.isDone() ? QStringLiteral("Not Done") : QStringLiteral("Done"), this);
    toggle->setObjectName(QStringLiteral("toggleStepAction"));
    connect(toggle, &QAction::triggered, this, [this] { Q_EMIT toggleRequested(); });
    auto* edit = new QAction(QStringLiteral("Edit"), this);
    edit->setObjectName(QStringLiteral("editStepAction"));
    connect(edit, &QAction::triggered, this, [this] { Q_EMIT editRequested(); });
    auto* divider = new QAction(this);
    divider->setSeparator(true);
    auto* remove = new QAction(QStringLiteral("Delete Step"), this);
    remove->setObjectName(QStringLiteral("deleteStepAction"));
    connect(remove, &QAction::triggered, this, [this] { Q_EMIT deleteRequested(); });
    addActions({toggle, edit, divider, remove});
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

bool StepRow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_title && event->type() == QEvent::MouseButtonDblClick) {
        Q_EMIT editRequested();
        return true;
    }
    if (watched == m_editor && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Q_EMIT renameRequested(m_editor->text());
            return true;
        }
        if (key == Qt::Key_Escape) {
            Q_EMIT editCancelled();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace vorn
