#pragma once

#include "model/Entities.h"

#include <QPoint>
#include <QWidget>

#include <optional>

class QAction;
class QGraphicsOpacityEffect;
class QMenu;
class QToolButton;

namespace vorn {

class AppModel;
class PixelButton;
class ThemedLabel;

// The focus panel's header row: the list switcher, the count, the pin and expand buttons. Dragging
// the row moves the panel; a double click on it leaves focus mode.
class FocusHeader : public QWidget {
    Q_OBJECT

public:
    static constexpr int rowHeight = 40;

    explicit FocusHeader(AppModel& model, QWidget* parent = nullptr);

    QToolButton* switcher() const { return m_switcher; }
    QMenu* switcherMenu() const { return m_menu; }
    ThemedLabel* countLabel() const { return m_count; }
    PixelButton* pinButton() const { return m_pin; }
    PixelButton* expandButton() const { return m_expand; }

    // Texts, menu and glyphs for the list shown under the header.
    void show(const Source& source);
    void refresh();
    void setButtonOpacity(qreal opacity);
    qreal buttonOpacity() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void rebuildMenu();
    void fitSwitcher();
    void refreshPin();
    void applySwitcherColor();

    AppModel& m_model;
    Source m_source = Source::today;
    QToolButton* m_switcher;
    QString m_switcherTitle; // the list's whole name; the button shows what fits
    QMenu* m_menu;
    QAction* m_listActions[3] = {};
    ThemedLabel* m_count;
    PixelButton* m_pin;
    PixelButton* m_expand;
    QGraphicsOpacityEffect* m_pinOpacity;
    QGraphicsOpacityEffect* m_expandOpacity;
    // A press on the row that may become a drag of the panel.
    std::optional<QPoint> m_pressGlobal;
    QPoint m_windowAtPress;
    bool m_dragging = false;
    bool m_movingByHand = false;
};

} // namespace vorn
