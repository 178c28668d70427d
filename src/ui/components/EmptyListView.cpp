#include "ui/components/EmptyListView.h"

#include "pixel/Pixels.h"
#include "pixel/YawnView.h"
#include "ui/components/ThemedLabel.h"

#include <QBoxLayout>

namespace vorn {

QString EmptyListView::message(const Source& source, ListStyle style)
{
    if (source.isPile())
        return QStringLiteral("An empty pile. Very restful.");
    switch (*source.todoList()) {
    case TodoList::today:
        return style == ListStyle::regular ? QStringLiteral("nothing due. suspicious.")
                                           : QStringLiteral("nothing left. suspicious.");
    case TodoList::later:
        return QStringLiteral("Nothing pushed off. Look at you.");
    case TodoList::doneIsh:
        return QStringLiteral("Nothing done yet. It's fine.");
    }
    return {};
}

EmptyListView::EmptyListView(const Source& source, ListStyle style, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("emptyListView"));
    const QString text = message(source, style);
    if (style == ListStyle::regular) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(18);
        layout->addStretch(1);
        QWidget* face = source == Source::today ? static_cast<QWidget*>(new YawnView(6, this))
                                                : PixelView::mark(Pixels::markSmall(), 4, this);
        layout->addWidget(face, 0, Qt::AlignHCenter);
        m_label = new ThemedLabel(text, uiFont(15), Color::vornMuted(), this);
        layout->addWidget(m_label, 0, Qt::AlignHCenter);
        layout->addStretch(1);
    } else {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(8, 0, 8, 0);
        layout->setSpacing(10);
        layout->addStretch(1);
        layout->addWidget(PixelView::mark(Pixels::markSmall(), 2, this), 0, Qt::AlignVCenter);
        m_label = new ThemedLabel(text, uiFont(13), Color::vornMuted(), this);
        layout->addWidget(m_label, 0, Qt::AlignVCenter);
        layout->addStretch(1);
        setFixedHeight(40);
    }
    m_label->setObjectName(QStringLiteral("emptyMessage"));
}

QString EmptyListView::text() const
{
    return m_label->text();
}

} // namespace vorn
