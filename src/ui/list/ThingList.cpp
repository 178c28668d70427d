#include "ui/list/ThingList.h"

#include "model/AppModel.h"
#include "ui/components/DoneLine.h"
#include "ui/components/EmptyListView.h"
#include "ui/components/SnoozeBar.h"
#include "ui/list/ThingListModel.h"
#include "ui/list/ThingListView.h"

#include <QVBoxLayout>

namespace vorn {

namespace {

constexpr int kSnoozeBarBottom = 8;

} // namespace

ThingList::ThingList(AppModel& model, const Source& source, ListStyle style, QWidget* parent)
    : QWidget(parent), m_model(model), m_style(style)
{
    setObjectName(QStringLiteral("thingListArea"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    m_view = new ThingListView(model, source, style, this);
    m_empty = new EmptyListView(source, style, this);
    m_doneLine = new DoneLine(style, this);
    if (style == ListStyle::compact) {
        // The compact list's add row lives inside the view, below the empty message.
        layout->addWidget(m_empty);
        layout->addWidget(m_view);
        layout->addWidget(m_doneLine);
    } else {
        m_view->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
        layout->addWidget(m_view);
        layout->addWidget(m_empty, 1);
        layout->addWidget(m_doneLine);
        m_filler = new QWidget(this);
        m_filler->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
        // Clicks here fall through to the screen, which opens the add row.
        m_filler->setAttribute(Qt::WA_TransparentForMouseEvents);
        layout->addWidget(m_filler, 1);
    }
    setFocusProxy(m_view);

    ThingListModel* rows = m_view->listModel();
    connect(rows, &QAbstractItemModel::modelReset, this, &ThingList::refresh);
    connect(rows, &QAbstractItemModel::rowsInserted, this, &ThingList::refresh);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &ThingList::refresh);
    connect(rows, &QAbstractItemModel::dataChanged, this, &ThingList::refresh);
    connect(m_view, &ThingListView::addingChanged, this, &ThingList::refresh);
    connect(m_view, &ThingListView::awaitingSnoozeChanged, this, &ThingList::showSnoozeBar);
    refresh();
}

bool ThingList::allRowsDone() const
{
    const ThingListModel* rows = m_view->listModel();
    if (rows->rowIDs().empty())
        return false;
    for (int entry = 0; entry < rows->rowCount(); ++entry) {
        if (rows->rowID(entry) && !rows->index(entry).data(ThingListModel::DoneRole).toBool())
            return false;
    }
    return true;
}

void ThingList::refresh()
{
    const ThingListModel* rows = m_view->listModel();
    const bool empty = rows->rowIDs().empty();
    const bool showEmpty = empty && (m_style == ListStyle::compact || !m_view->isAdding());
    m_empty->setVisible(showEmpty);
    if (m_filler)
        m_filler->setVisible(!showEmpty);
    if (m_style == ListStyle::compact)
        m_view->setVisible(rows->source() != Source::doneIsh || !empty);
    m_doneLine->setVisible(rows->source() == Source::today && allRowsDone());
}

void ThingList::showSnoozeBar(bool show)
{
    if (!show) {
        if (m_snoozeBar) {
            const bool hadFocus = m_snoozeBar->isAncestorOf(focusWidget());
            m_snoozeBar->hide();
            m_snoozeBar->deleteLater();
            m_snoozeBar = nullptr;
            if (hadFocus)
                m_view->setFocus();
        }
        return;
    }
    if (m_snoozeBar)
        return;
    m_snoozeBar = new SnoozeBar(m_style, this);
    connect(m_snoozeBar, &SnoozeBar::picked, this,
            [this](SnoozeOption option) { m_view->snoozeSelection(option); });
    connect(m_snoozeBar, &SnoozeBar::cancelled, this, [this] { m_view->setAwaitingSnooze(false); });
    placeSnoozeBar();
    m_snoozeBar->show();
    m_snoozeBar->raise();
}

void ThingList::placeSnoozeBar()
{
    if (!m_snoozeBar)
        return;
    const QSize size =
        QLayout::closestAcceptableSize(m_snoozeBar, m_snoozeBar->sizeHint()).boundedTo(this->size());
    m_snoozeBar->setGeometry((width() - size.width()) / 2, height() - kSnoozeBarBottom - size.height(),
                             size.width(), size.height());
}

void ThingList::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeSnoozeBar();
}

} // namespace vorn
