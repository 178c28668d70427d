#pragma once

#include "pixel/PixelView.h"

namespace vorn {

class TickSource;

// Whether animations should stand still: VORN_REDUCE_MOTION=1 (or 0) decides; without it, the desktop's
// animation setting where Qt reports one (KDE Plasma); elsewhere motion stays on.
bool reduceMotion();

// The face of the empty states. It yawns once each time it comes on screen: closed for 0.4 s, then
// frames 1, 2 and 3 for 0.15 s each, the wide yawn held 1.8 s more, then closed again. With reduced
// motion it shows the wide yawn, still.
class YawnView : public PixelView {
    Q_OBJECT

public:
    explicit YawnView(qreal unit, QWidget* parent = nullptr);
    YawnView(qreal unit, TickSource& ticks, QWidget* parent = nullptr);

    // The yawn's own state, 0 to 3.
    int frame() const { return m_frame; }
    // What is drawn: frame 3 under reduced motion, else `frame()`.
    int shownFrame() const;

    static constexpr int startDelayMSecs = 400;
    static constexpr int frameMSecs = 150;
    static constexpr int holdMSecs = 1800;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void start();
    void cancel();
    void step(int next);
    void setFrame(int frame);
    void waitThen(int msecs, int next);

    TickSource& m_ticks;
    int m_frame = 0;
    int m_run = 0; // bumps on every start and cancel, so a late wake-up of an old run does nothing
};

} // namespace vorn
