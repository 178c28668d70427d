#include "ui/screens/RandomScreen.h"

#include "model/AppModel.h"
#include "pixel/PixelView.h"
#include "pixel/Pixels.h"
#include "pixel/VornFont.h"
#include "pixel/YawnView.h"
#include "pixel/ZCount.h"
#include "text/TitleText.h"
#include "ui/components/ElidedLabel.h"
#include "ui/components/Glass.h"
#include "ui/components/PressStyle.h"
#include "ui/components/ThemedLabel.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QStackedLayout>

namespace vorn {

namespace {

// The card's secondary buttons: text on a translucent capsule.
class GlassButton : public PressButton {
public:
    GlassButton(const QString& text, QWidget* parent) : PressButton(parent)
    {
        setText(text);
        setFont(uiFont(13));
        setFocusPolicy(Qt::NoFocus);
        const QSize t = fontMetrics().size(Qt::TextSingleLine, text);
        setFixedSize(t.width() + 28, 28);
    }

protected:
    void paintLabel(QPainter& painter) override
    {
        paintGlassCapsule(painter, QRectF(rect()), palette());
        painter.setPen(Color::vornText().resolved(palette()));
        painter.drawText(rect(), Qt::AlignCenter, text());
    }
};

} // namespace

QString RandomScreen::originText(const AppModel& model, const Thing& thing)
{
    const Source source = model.source(thing);
    if (source.isPile()) {
        const Pile* pile = model.pile(*source.pileID());
        return QStringLiteral("From ") + (pile ? pile->name().toLower() : QStringLiteral("a pile")) +
               QStringLiteral(".");
    }
    switch (*source.todoList()) {
    case TodoList::today:
        return QStringLiteral("From today.");
    case TodoList::later:
        return QStringLiteral("From later, ") +
               model.meta(thing, Source::later).value_or(QStringLiteral("someday")) + QStringLiteral(".");
    case TodoList::doneIsh:
        return {};
    }
    return {};
}

RandomScreen::RandomScreen(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("randomScreen"));
    setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 20, 28, 20);
    layout->setSpacing(0);

    auto* heading = new ThemedLabel(QStringLiteral("random"), VornFont::font(VornFont::titleSize),
                                    Color::vornText(), this);
    heading->setContentsMargins(12, 0, 0, 0);
    layout->addWidget(heading);
    auto* subtitle =
        new ThemedLabel(QStringLiteral("Can't decide? Here's one."), uiFont(13), Color::vornMuted(), this);
    subtitle->setContentsMargins(12, 14, 0, 0);
    layout->addWidget(subtitle);

    auto* region = new QWidget(this);
    m_stack = new QStackedLayout(region);
    layout->addWidget(region, 1);

    // The card, centred in the region by stretches on every side.
    auto* cardHolder = new QWidget(region);
    auto* holderLayout = new QGridLayout(cardHolder);
    m_card = new QWidget(cardHolder);
    m_card->setObjectName(QStringLiteral("randomCard"));
    holderLayout->addWidget(m_card, 1, 1);
    holderLayout->setRowStretch(0, 1);
    holderLayout->setRowStretch(2, 1);
    holderLayout->setColumnStretch(0, 1);
    holderLayout->setColumnStretch(2, 1);
    auto* card = new QVBoxLayout(m_card);
    card->setContentsMargins(0, 0, 0, 0);
    card->setSpacing(14);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(8);
    auto* box = new PixelView(Pixels::box(), 2, m_card);
    box->setForeground(Color::vornFaint());
    titleRow->addWidget(box, 0, Qt::AlignVCenter);
    m_title = new ElidedLabel(uiFont(22, QFont::DemiBold), Color::vornText(), m_card);
    m_title->setObjectName(QStringLiteral("randomTitle"));
    titleRow->addWidget(m_title, 0, Qt::AlignVCenter);
    m_zs = new ZCount(1, 3, m_card);
    titleRow->addWidget(m_zs, 0, Qt::AlignVCenter);
    titleRow->addStretch(1);
    card->addLayout(titleRow);
    m_line = new ThemedLabel(QString(), uiFont(13), Color::vornMuted(), m_card);
    m_line->setObjectName(QStringLiteral("randomOrigin"));
    card->addWidget(m_line);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    auto* another = new GlassButton(QStringLiteral("Another one"), m_card);
    another->setObjectName(QStringLiteral("anotherOne"));
    connect(another, &QAbstractButton::clicked, this, [this] { reroll(); });
    auto* doIt = new GlassButton(QStringLiteral("Fine, I'll do it"), m_card);
    doIt->setObjectName(QStringLiteral("doIt"));
    connect(doIt, &QAbstractButton::clicked, this, [this] { accept(); });
    buttons->addWidget(another, 0, Qt::AlignVCenter);
    buttons->addWidget(doIt, 0, Qt::AlignVCenter);
    buttons->addStretch(1);
    card->addLayout(buttons);
    m_stack->addWidget(cardHolder);

    m_empty = new QWidget(region);
    m_empty->setObjectName(QStringLiteral("randomEmpty"));
    auto* empty = new QVBoxLayout(m_empty);
    empty->addStretch(1);
    empty->addWidget(new YawnView(6, m_empty), 0, Qt::AlignHCenter);
    auto* nothing = new ThemedLabel(QStringLiteral("Nothing to pick from. Suspicious."), uiFont(15),
                                    Color::vornMuted(), m_empty);
    nothing->setObjectName(QStringLiteral("randomEmptyText"));
    empty->addWidget(nothing, 0, Qt::AlignHCenter);
    empty->addStretch(1);
    m_stack->addWidget(m_empty);

    auto* hint = new ThemedLabel(QStringLiteral("R for another one. ↵ to do it."), uiFont(12),
                                 Color::vornFaint(), this);
    hint->setContentsMargins(12, 0, 0, 0);
    layout->addWidget(hint);

    // The card reads the pick's own record too: its title, snoozes, steps and list.
    connect(&m_model, &AppModel::changed, this, [this](AppModel::Field f) {
        if (f == AppModel::Field::records || f == AppModel::Field::randomPick || f == AppModel::Field::now ||
            f == AppModel::Field::piles)
            refresh();
    });
    refresh();
}

QString RandomScreen::cardTitle() const
{
    return m_pick ? m_title->fullText() : QString();
}

QString RandomScreen::cardLine() const
{
    return m_pick ? m_line->text() : QString();
}

void RandomScreen::refresh()
{
    m_pick = m_model.currentPick();
    if (!m_pick) {
        m_stack->setCurrentWidget(m_empty);
        return;
    }
    m_title->setFullText(shownTitle(m_pick->title()));
    m_zs->setVisible(m_pick->zCount() >= 1);
    if (m_pick->zCount() >= 1)
        m_zs->setCount(m_pick->zCount());
    QString line = originText(m_model, *m_pick);
    if (const std::optional<QString> progress = m_pick->stepProgress())
        line += QStringLiteral(" ") + *progress + QStringLiteral(" steps done.");
    m_line->setText(line);
    m_stack->setCurrentIndex(0);
}

void RandomScreen::reroll()
{
    m_model.reroll();
}

void RandomScreen::accept()
{
    if (Thing* pick = m_model.currentPick())
        m_model.acceptPick(*pick);
}

void RandomScreen::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    setFocus();
    // Arriving on the tab shows a pick whenever there is one; a pick still open is kept.
    if (!m_model.currentPick())
        reroll();
}

void RandomScreen::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_R &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        reroll();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (Thing* pick = m_model.currentPick()) {
            m_model.acceptPick(*pick);
            event->accept();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

} // namespace vorn
