#include "ui/focus/FocusPanelController.h"

#include "model/AppModel.h"
#include "model/Constants.h"
#include "ui/focus/FocusPanel.h"
#include "ui/focus/FocusView.h"
#include "ui/focus/X11Floating.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>

namespace vorn {

FocusPanelController::FocusPanelController(AppModel& model, QObject* parent)
    : QObject(parent), m_model(model), m_saveTimer(new QTimer(this))
{
    m_saveTimer->setSingleShot(true);
    m_saveTimer->setInterval(saveDelayMSecs);
    connect(m_saveTimer, &QTimer::timeout, this, &FocusPanelController::saveFrame);
    connect(&m_model, &AppModel::changed, this, [this](AppModel::Field field) {
        if (field == AppModel::Field::floats && m_panel)
            applyFloats();
    });
}

FocusPanelController::~FocusPanelController()
{
    if (m_saveTimer->isActive())
        saveFrame();
}

namespace {
bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// How much of a saved frame a screen must show for it to be used again.
constexpr int kMinSeenWidth = 120;
constexpr int kMinSeenHeight = 60;
} // namespace

QRect FocusPanelController::defaultFrame()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    const int right = area.x() + area.width();
    return {right - FocusPanel::defaultWidth - screenInset, area.y() + screenInset, FocusPanel::defaultWidth,
            FocusPanel::defaultHeight};
}

std::optional<QRect> FocusPanelController::savedFrame() const
{
    const QVariantMap saved = m_model.settings().mapValue(QString(kFocusWindowKey));
    const auto x = Settings::number(saved.value(QStringLiteral("x")));
    const auto y = Settings::number(saved.value(QStringLiteral("y")));
    const auto width = Settings::number(saved.value(QStringLiteral("width")));
    const auto height = Settings::number(saved.value(QStringLiteral("height")));
    if (!width || !height || *width <= 0 || *height <= 0)
        return std::nullopt;
    const int w = std::clamp(int(*width), FocusPanel::minWidth, FocusPanel::maxWidth);
    // Only a size (saved on Wayland): the default corner, at that width.
    if (!x || !y) {
        const QRect corner = defaultFrame();
        return QRect(corner.x() + corner.width() - w, corner.y(), w, int(*height));
    }
    const QRect frame(int(*x), int(*y), w, int(*height));
    // A screen unplugged since, or a frame pushed almost off one: the panel must come back with enough
    // of its top in view to be seen and dragged, not as a sliver at an edge.
    const auto screens = QGuiApplication::screens();
    const bool onAScreen = std::any_of(screens.begin(), screens.end(), [&](const QScreen* screen) {
        const QRect area = screen->availableGeometry();
        const QRect seen = area.intersected(frame);
        return seen.width() >= kMinSeenWidth && seen.height() >= kMinSeenHeight && area.top() <= frame.top();
    });
    if (!onAScreen)
        return std::nullopt;
    return frame;
}

void FocusPanelController::saveFrame()
{
    m_saveTimer->stop();
    if (!m_panel || m_model.isReadOnly())
        return;
    const QRect frame = m_panel->geometry();
    QVariantMap saved = m_model.settings().mapValue(QString(kFocusWindowKey));
    saved.insert(QStringLiteral("width"), frame.width());
    saved.insert(QStringLiteral("height"), frame.height());
    // A Wayland compositor never tells a window where it is (Qt reads 0,0): the place saved in an X11
    // session stays, and none is made up.
    if (!onWayland()) {
        saved.insert(QStringLiteral("x"), frame.x());
        saved.insert(QStringLiteral("y"), frame.y());
    }
    m_model.settings().setValue(QString(kFocusWindowKey), saved);
}

void FocusPanelController::makePanel()
{
    m_panel = std::make_unique<FocusPanel>(m_model);
    connect(m_panel.get(), &FocusPanel::closeRequested, this, [this] {
        if (m_wayBack)
            hide();
        else
            Q_EMIT closedWithoutWayBack();
    });
    m_panel->setGeometry(savedFrame().value_or(defaultFrame()));
    // Fit the height before the first show, so the panel does not appear at a guessed size.
    m_panel->view()->measure();
    m_panel->installEventFilter(this);
    if (m_onPanelMade)
        m_onPanelMade(*m_panel);
}

void FocusPanelController::show()
{
    if (!m_panel)
        makePanel();
    applyFloats();
    m_panel->show();
    applyX11Floating(m_panel->windowHandle(), m_model.floats(), true);
    m_panel->raise();
    m_panel->activateWindow();
}

void FocusPanelController::hide()
{
    if (!m_panel)
        return;
    if (m_panel->isVisible())
        saveFrame();
    m_panel->hide();
}

void FocusPanelController::applyFloats()
{
    const bool floats = m_model.floats();
    const Qt::WindowFlags wanted = FocusPanel::flags(floats);
    // The window stays the one it is: re-setting the widget's flags would make a new native window
    // and hide and show it in one go, which races the window manager (the state, or the whole window,
    // got lost). Qt keeps the flags for the next map; the mapped window is asked to change in place.
    if (m_panel->windowFlags() != wanted) {
        m_panel->overrideWindowFlags(wanted);
        // A Wayland compositor ignores the hint; telling it anyway only disturbs the surface.
        if (QWindow* handle = m_panel->windowHandle(); handle && !onWayland())
            handle->setFlags(wanted);
    }
    if (m_panel->windowHandle())
        applyX11Floating(m_panel->windowHandle(), floats, m_panel->isVisible());
}

bool FocusPanelController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_panel.get() && m_panel->isVisible() &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        m_saveTimer->start();
    return QObject::eventFilter(watched, event);
}

} // namespace vorn
