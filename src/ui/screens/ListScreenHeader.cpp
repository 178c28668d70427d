#include "ui/screens/ListScreenHeader.h"

#include "model/AppModel.h"
#include "pixel/VornFont.h"
#include "ui/components/ElidedLabel.h"
#include "ui/components/ThemedLabel.h"

#include <QBoxLayout>
#include <QRegularExpression>

namespace vorn {

namespace {

QString things(int n)
{
    return n == 1 ? QStringLiteral("1 thing") : QString::number(n) + QStringLiteral(" things");
}

} // namespace

QString ListScreenHeader::dayText(const QDateTime& now, const Schedule& schedule)
{
    // Locales have no "weekday, day and month" pattern of their own; their long date minus the year
    // keeps their order and punctuation.
    QString format = schedule.locale().dateFormat(QLocale::LongFormat);
    static const QRegularExpression year(QStringLiteral("[\\s,./-]*y+[\\s,./-]*(年)?"));
    const QRegularExpressionMatch m = year.match(format);
    if (m.hasMatch()) {
        const bool atEnd = m.capturedEnd() >= format.size();
        const bool atStart = m.capturedStart() == 0;
        // Between two fields the separator on one side survives.
        QString keep;
        if (!atEnd && !atStart) {
            static const QRegularExpression lead(QStringLiteral("^[\\s,./-]*"));
            keep = lead.match(m.captured()).captured();
            if (keep.isEmpty())
                keep = QStringLiteral(" ");
        }
        format.replace(m.capturedStart(), m.capturedLength(), keep);
    }
    return schedule.locale().toString(now.toTimeZone(schedule.timeZone()).date(), format.trimmed());
}

QString ListScreenHeader::summaryText(const AppModel& model, const Source& source)
{
    const int n = model.count(source);
    if (source.isPile()) {
        if (n == 0)
            return QStringLiteral("Nothing in it yet.");
        return things(n) + QStringLiteral(" in a pile. None of it is due.");
    }
    switch (*source.todoList()) {
    case TodoList::today: {
        QStringList parts{dayText(model.now(), model.schedule())};
        if (n == 0)
            parts << QStringLiteral("Nothing left.");
        else if (n > 5)
            parts << QStringLiteral("That's ") + QString::number(n) + QStringLiteral(". Bold.");
        else
            parts << QString::number(n) + QStringLiteral(" left.");
        if (model.rolledOver() >= 1)
            parts << things(model.rolledOver()) + QStringLiteral(" rolled over. We've all been there.");
        return parts.join(QStringLiteral(" · "));
    }
    case TodoList::later: {
        QString text = n == 0 ? QStringLiteral("No rush.") : things(n) + QStringLiteral(", pushed off.");
        const Schedule& schedule = model.schedule();
        const QDateTime tomorrow = schedule.addDays(schedule.startOfDay(model.now()), 1);
        int back = 0;
        for (const Thing* t : model.allThings()) {
            if (t->snoozedUntil() && model.source(*t) == Source::later &&
                schedule.isSameDay(*t->snoozedUntil(), tomorrow))
                ++back;
        }
        if (back >= 1)
            text += QStringLiteral(" ") + QString::number(back) + QStringLiteral(" coming back tomorrow.");
        else
            text += QStringLiteral(" Nothing due tomorrow. Suspicious.");
        return text;
    }
    case TodoList::doneIsh:
        return QString::number(n) + QStringLiteral(" done. Clears itself after 7 days.");
    }
    return {};
}

QString ListScreenHeader::hintText(const Source& source)
{
    if (source.isPile())
        return QStringLiteral("Press T to pull one into Today, or S to snooze it.");
    switch (*source.todoList()) {
    case TodoList::today:
        return QStringLiteral("5 is plenty. The rest can wait in Later.");
    case TodoList::later:
        return QStringLiteral("Snoozed things come back on their own. Like a cat.");
    case TodoList::doneIsh:
        return QStringLiteral("No archive to tend.");
    }
    return {};
}

ListScreenHeader::ListScreenHeader(AppModel& model, const Source& source, QWidget* parent)
    : QWidget(parent), m_model(model), m_source(source)
{
    setObjectName(QStringLiteral("listScreenHeader"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // A long list name is cut with "…" where the window ends, not mid-word at its edge.
    m_title = new ElidedLabel(VornFont::font(VornFont::titleSize), Color::vornText(), this);
    m_title->setObjectName(QStringLiteral("listTitle"));
    m_title->setContentsMargins(12, 0, 0, 0);
    layout->addWidget(m_title);
    m_summary = new ThemedLabel(QString(), uiFont(13), Color::vornMuted(), this);
    m_summary->setObjectName(QStringLiteral("listSummary"));
    m_summary->setContentsMargins(12, 14, 0, 0);
    layout->addWidget(m_summary);

    // Counts and the pile's name follow record edits as much as the clock and the rollover.
    connect(&m_model, &AppModel::changed, this, [this](AppModel::Field f) {
        if (f == AppModel::Field::records || f == AppModel::Field::now || f == AppModel::Field::rolledOver ||
            f == AppModel::Field::piles)
            refresh();
    });
    refresh();
}

QString ListScreenHeader::title() const
{
    return m_title->fullText();
}

QString ListScreenHeader::shownTitle() const
{
    return m_title->text();
}

QString ListScreenHeader::summary() const
{
    return m_summary->text();
}

void ListScreenHeader::refresh()
{
    m_title->setFullText(m_model.title(m_source));
    m_summary->setText(summaryText(m_model, m_source));
}

} // namespace vorn
