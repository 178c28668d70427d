#pragma once

#include <QSet>
#include <QWidget>

namespace vorn {

class AppModel;
class FocusView;

// The borderless, translucent window of focus mode. Only its width is the user's (240 to 360, by
// dragging the left or right edge); its height is always what the view asks for.
class FocusPanel : public QWidget {
    Q_OBJECT

public:
    static constexpr int minWidth = 240;
    static constexpr int maxWidth = 360;
    static constexpr int defaultWidth = 280;
    static constexpr int defaultHeight = 240;
    static constexpr int gripWidth = 6;

    // The window flags of the panel, floating or not.
    static Qt::WindowFlags flags(bool floats);

    explicit FocusPanel(AppModel& model, QWidget* parent = nullptr);

    FocusView* view() const { return m_view; }
    // The commands the panel binds itself (hide, leave focus mode, undo, redo, the three lists); the
    // window's menu commands are added beside them (QWidget::addAction) by whoever owns both.
    QSet<QString> ownCommands() const;
    // Takes the view's natural height, keeping the top edge where it is.
    void fitHeight(int height);
    // Whether a compositor blends the panel with what is behind it. Without one the rounded corners
    // are cut out of the window (a shape mask) and the glass is solid; with one neither is needed.
    // Found out on every show on X11; Wayland and the rest always composite.
    void setComposited(bool composited);
    bool isComposited() const { return m_composited; }
    QWidget* leftGrip() const { return m_leftGrip; }
    QWidget* rightGrip() const { return m_rightGrip; }

Q_SIGNALS:
    // Ctrl+W: the controller hides the panel.
    void closeRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void updateShape();

    AppModel& m_model;
    FocusView* m_view;
    QWidget* m_leftGrip;
    QWidget* m_rightGrip;
    bool m_composited = true;
};

} // namespace vorn
