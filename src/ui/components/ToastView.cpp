#include "ui/components/ToastView.h"

#include "model/AppModel.h"
#include "pixel/YawnView.h"
#include "ui/components/Glass.h"
#include "ui/components/ThemedLabel.h"

#include <QBoxLayout>
#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPropertyAnimation>

namespace vorn {

ToastView::ToastView(AppModel& model, QWidget* parent)
    : QWidget(parent), m_model(model), m_opacity(new QGraphicsOpacityEffect(this)),
      m_fade(new QPropertyAnimation(m_opacity, "opacity", this))
{
    setObjectName(QStringLiteral("toastView"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 0, 14, 0);
    m_label = new ThemedLabel(QString(), uiFont(13), Color::vornText(), this);
    m_label->setObjectName(QStringLiteral("toastText"));
    layout->addWidget(m_label, 0, Qt::AlignVCenter);
    setFixedHeight(34);
    m_opacity->setOpacity(0);
    setGraphicsEffect(m_opacity);
    m_fade->setDuration(fadeMSecs);
    connect(m_fade, &QPropertyAnimation::finished, this, [this] {
        if (!m_showing)
            hide();
    });
    connect(&m_model, &AppModel::changed, this, [this](AppModel::Field f) {
        if (f == AppModel::Field::toast)
            refresh();
    });
    hide();
    refresh();
}

QString ToastView::text() const
{
    return m_showing ? m_label->text() : QString();
}

void ToastView::refresh()
{
    const std::optional<QString>& toast = m_model.toast();
    if (toast) {
        m_label->setText(*toast);
        adjustSize();
        if (!m_showing) {
            m_showing = true;
            show();
            raise();
            fadeTo(1);
        }
    } else if (m_showing) {
        m_showing = false;
        fadeTo(0);
    }
}

void ToastView::fadeTo(qreal opacity)
{
    m_fade->stop();
    if (reduceMotion()) {
        m_opacity->setOpacity(opacity);
        if (!m_showing)
            hide();
        return;
    }
    m_fade->setStartValue(m_opacity->opacity());
    m_fade->setEndValue(opacity);
    m_fade->start();
}

void ToastView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintGlassCapsule(painter, QRectF(rect()), palette());
}

} // namespace vorn
