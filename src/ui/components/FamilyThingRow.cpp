#include "ui/components/FamilyThingRow.h"

#include "model/AppModel.h"
#include "ui/components/CheckButton.h"
#include "ui/components/ThemedLabel.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

namespace vorn {

FamilyThingRow::FamilyThingRow(AppModel& model, SharedThing thing, QWidget* parent)
    : QWidget(parent), m_model(model), m_thing(std::move(thing))
{
    setObjectName(QStringLiteral("familyThingRow"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 0, 12, 0);
    layout->setSpacing(12);
    // The action reads the row at click time, so a refreshed record is the one toggled.
    m_check = new CheckButton(
        m_thing.done, [this] { m_model.toggleExternal(m_thing); }, this);
    layout->addWidget(m_check, 0, Qt::AlignVCenter);
    m_title = new ThemedLabel(QString(), uiFont(14), Color::vornText(), this);
    m_title->setObjectName(QStringLiteral("familyTitle"));
    m_title->setMinimumHeight(28);
    m_title->installEventFilter(this);
    layout->addWidget(m_title, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    m_app = new ThemedLabel(QString(), uiFont(12), Color::vornMuted(), this);
    m_app->setObjectName(QStringLiteral("familyApp"));
    layout->addWidget(m_app, 0, Qt::AlignVCenter);
    setFixedHeight(40);
    applyThing();
}

void FamilyThingRow::setThing(SharedThing thing)
{
    m_thing = std::move(thing);
    applyThing();
}

void FamilyThingRow::applyThing()
{
    m_check->setDone(m_thing.done);
    m_title->setText(m_thing.title);
    QFont f = m_title->font();
    f.setStrikeOut(m_thing.done);
    m_title->setFont(f);
    m_title->setColor(m_thing.done ? Color::vornFaint() : Color::vornText());
    m_app->setText(m_thing.sourceApp);
}

void FamilyThingRow::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
}

void FamilyThingRow::setRename(std::optional<FamilyRename> rename)
{
    m_rename = std::move(rename);
    if (!m_rename) {
        if (m_field) {
            m_field->deleteLater();
            m_field = nullptr;
        }
        m_title->show();
        return;
    }
    if (!m_field) {
        m_field = new QLineEdit(this);
        m_field->setObjectName(QStringLiteral("familyRenameField"));
        m_field->setFrame(false);
        m_field->setFont(uiFont(14));
        m_field->setPlaceholderText(QStringLiteral("Title"));
        m_field->installEventFilter(this);
        connect(m_field, &QLineEdit::textEdited, this, [this](const QString& text) {
            if (m_rename && m_rename->onDraftChanged)
                m_rename->onDraftChanged(text);
        });
        auto* layout = static_cast<QHBoxLayout*>(this->layout());
        layout->insertWidget(layout->indexOf(m_title), m_field, 1, Qt::AlignVCenter);
    }
    m_title->hide();
    m_field->setText(m_rename->draft);
    if (m_rename->focus)
        m_field->setFocus();
}

bool FamilyThingRow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_title) {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            if (m_onNameTap)
                m_onNameTap();
            return true;
        }
        if (event->type() == QEvent::MouseButtonDblClick) {
            if (m_onNameDoubleTap)
                m_onNameDoubleTap();
            return true;
        }
    } else if (watched == m_field && event->type() == QEvent::KeyPress && m_rename) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_rename->onCommit) {
            m_rename->onCommit();
            return true;
        }
        if (key == Qt::Key_Escape && m_rename->onCancel) {
            m_rename->onCancel();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FamilyThingRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QColor fill =
        m_selected ? Color::vornSelection().resolved(palette()) : Color::vornWell().resolved(palette());
    if (!m_selected)
        fill.setAlphaF(fill.alphaF() * 0.4f);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()), 10, 10);
}

} // namespace vorn
