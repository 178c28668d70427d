#include "pixel/YawnView.h"

#include "pixel/Pixels.h"
#include "pixel/TickSource.h"

#include <QApplication>

namespace vorn {

bool reduceMotion()
{
    const QByteArray forced = qgetenv("VORN_REDUCE_MOTION");
    if (!forced.isEmpty())
        return forced != "0";
    // Only Plasma's platform theme reports its animation switch through Qt's UI effects; the generic
    // and GNOME themes never set the general effect, so reading it there would stop every animation.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) &&
        qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QLatin1String("KDE"), Qt::CaseInsensitive))
        return !QApplication::isEffectEnabled(Qt::UI_General);
    return false;
}

YawnView::YawnView(qreal unit, QWidget* parent) : YawnView(unit, TickSource::steady(), parent) {}

YawnView::YawnView(qreal unit, TickSource& ticks, QWidget* parent)
    : PixelView(Pixels::yawnFrames()[0], unit, markInks(), parent), m_ticks(ticks)
{
    setGrid(Pixels::yawnFrames()[size_t(shownFrame())]);
}

int YawnView::shownFrame() const
{
    return reduceMotion() ? 3 : m_frame;
}

void YawnView::setFrame(int frame)
{
    m_frame = frame;
    // Instant swaps, no transition between frames.
    setGrid(Pixels::yawnFrames()[size_t(shownFrame())]);
}

void YawnView::showEvent(QShowEvent* event)
{
    PixelView::showEvent(event);
    start();
}

void YawnView::hideEvent(QHideEvent* event)
{
    cancel();
    PixelView::hideEvent(event);
}

void YawnView::start()
{
    ++m_run;
    setFrame(0);
    if (reduceMotion())
        return;
    waitThen(startDelayMSecs, 1);
}

void YawnView::cancel()
{
    // A cancelled wait counts as finished: the rest of the yawn runs through at once, ending closed.
    ++m_run;
    setFrame(0);
}

void YawnView::waitThen(int msecs, int next)
{
    const int run = m_run;
    m_ticks.wakeAt(m_ticks.nowMSecs() + msecs, this, [this, run, next] {
        if (run == m_run)
            step(next);
    });
}

// `next` is the frame to show now; 4 stands for the end of the hold, back to the closed face.
void YawnView::step(int next)
{
    if (next <= 3) {
        setFrame(next);
        // After frame 3 its own 0.15 s and the hold run as one wait.
        waitThen(next < 3 ? frameMSecs : frameMSecs + holdMSecs, next + 1);
        return;
    }
    setFrame(0);
}

} // namespace vorn
