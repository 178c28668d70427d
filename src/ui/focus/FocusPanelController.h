#pragma once

#include <QObject>
#include <QRect>

#include <functional>
#include <memory>
#include <optional>

class QTimer;

namespace vorn {

class AppModel;
class FocusPanel;

// Owns the focus panel: builds it on first use, places it (the saved frame, else 16 px in from the
// top-right corner of the screen), keeps it floating or not as the model says, and saves its frame.
class FocusPanelController : public QObject {
    Q_OBJECT

public:
    static constexpr int screenInset = 16;
    static constexpr int saveDelayMSecs = 300;

    explicit FocusPanelController(AppModel& model, QObject* parent = nullptr);
    ~FocusPanelController() override;

    // Null until the panel is first shown.
    FocusPanel* panel() const { return m_panel.get(); }
    // Builds the panel on first use, applies floating and brings it to the front.
    void show();
    void hide();
    // Called once the panel exists, before it is first shown: the shell puts its menu commands on it.
    void setOnPanelMade(std::function<void(FocusPanel&)> onMade) { m_onPanelMade = std::move(onMade); }
    // Where a panel with no usable saved frame goes.
    static QRect defaultFrame();
    // Ctrl+W hides the panel only while something (the tray icon) can bring it back; otherwise the
    // panel asks for another way out (leftWithoutWayBack) and stays.
    void setHidingLeavesAWayBack(bool wayBack) { m_wayBack = wayBack; }

Q_SIGNALS:
    // Ctrl+W with nothing to bring a hidden panel back.
    void closedWithoutWayBack();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void makePanel();
    void applyFloats();
    std::optional<QRect> savedFrame() const;
    void saveFrame();

    AppModel& m_model;
    std::unique_ptr<FocusPanel> m_panel;
    std::function<void(FocusPanel&)> m_onPanelMade;
    QTimer* m_saveTimer;
    bool m_wayBack = true;
};

} // namespace vorn
