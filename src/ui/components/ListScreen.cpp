#include "ui/components/ListScreen.h"

#include "model/AppModel.h"
#include "ui/components/ListScreenHeader.h"
#include "ui/components/ThemedLabel.h"

#include <QBoxLayout>
#include <QMenu>
#include <QMouseEvent>

namespace vorn {

ListScreen::ListScreen(AppModel& model, const Source& source, QWidget* parent)
    : QWidget(parent), m_model(model), m_source(source)
{
    setObjectName(QStringLiteral("listScreen"));
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(28, 20, 28, 20);
    m_layout->setSpacing(0);
    m_header = new ListScreenHeader(model, source, this);
    m_layout->addWidget(m_header);
    m_layout->addSpacing(20);
    // Until the real list arrives an empty filler keeps the hint at the bottom.
    m_list = new QWidget(this);
    m_list->setObjectName(QStringLiteral("listPlaceholder"));
    m_layout->addWidget(m_list, 1);
    m_hint = new ThemedLabel(ListScreenHeader::hintText(source), uiFont(12), Color::vornFaint(), this);
    m_hint->setObjectName(QStringLiteral("listHint"));
    m_hint->setContentsMargins(12, 8, 0, 0);
    m_layout->addWidget(m_hint);
}

void ListScreen::setList(QWidget* list)
{
    const int at = m_layout->indexOf(m_list);
    m_layout->removeWidget(m_list);
    m_list->deleteLater();
    m_list = list;
    m_list->setParent(this);
    m_layout->insertWidget(at, m_list, 1);
}

QString ListScreen::hint() const
{
    return m_hint->text();
}

void ListScreen::mousePressEvent(QMouseEvent* event)
{
    if (!takesAdds()) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (event->button() == Qt::LeftButton) {
        m_model.requestAdd();
        event->accept();
    } else if (event->button() == Qt::RightButton) {
        QMenu menu(this);
        menu.addAction(QStringLiteral("New Thing"), this, [this] { m_model.requestAdd(); });
        menu.addAction(QStringLiteral("Paste"), this, [this] { m_model.paste(); });
        menu.exec(event->globalPosition().toPoint());
        event->accept();
    }
}

} // namespace vorn
