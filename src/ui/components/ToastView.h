#pragma once

#include <QWidget>

class QGraphicsOpacityEffect;
class QPropertyAnimation;

namespace vorn {

class AppModel;
class ThemedLabel;

// The model's toast as a capsule that fades in and out. Placing it (bottom centre, 16 above the
// window's edge) is the parent's job; the view only sizes itself to its text.
class ToastView : public QWidget {
    Q_OBJECT

public:
    static constexpr int fadeMSecs = 200;

    explicit ToastView(AppModel& model, QWidget* parent = nullptr);
    // The text shown, or empty while there is no toast.
    QString text() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    void fadeTo(qreal opacity);
    AppModel& m_model;
    ThemedLabel* m_label;
    QGraphicsOpacityEffect* m_opacity;
    QPropertyAnimation* m_fade;
    bool m_showing = false;
};

} // namespace vorn
