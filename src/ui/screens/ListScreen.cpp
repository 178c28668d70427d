#include "ui/screens/ListScreen.h"

#include "model/AppModel.h"
#include "ui/components/ThemedLabel.h"
#include "ui/list/ThingList.h"
#include "ui/screens/ListScreenHeader.h"

#include <QBoxLayout>
#include <QMenu>
#include <QMouseEvent>

namespace vorn {

ListScreen::ListScreen(AppModel& model, const Source& source, QWidget* parent)
    : QWidget(parent), m_model(model), m_source(source)
{
    setObjectName(QStringLiteral("listScreen"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 20, 28, 20);
    layout->setSpacing(0);
    m_header = new ListScreenHeader(model, source, this);
    layout->addWidget(m_header);
    layout->addSpacing(20);
    m_list = new ThingList(model, source, ListStyle::regular, this);
    layout->addWidget(m_list, 1);
    m_hint = new ThemedLabel(ListScreenHeader::hintText(source), uiFont(12), Color::vornFaint(), this);
    m_hint->setObjectName(QStringLiteral("listHint"));
    m_hint->setContentsMargins(12, 8, 0, 0);
    layout->addWidget(m_hint);
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
        menu.addAction(QStringLiteral("Paste"), this, [this] { m_model.transfer().paste(); });
        menu.exec(event->globalPosition().toPoint());
        event->accept();
    }
}

} // namespace vorn
