#pragma once

#include "model/Commands.h"
#include "model/Entities.h"
#include "ui/components/ListStyle.h"
#include "ui/components/PressStyle.h"

#include <QWidget>

#include <array>

namespace vorn {

// One choice of the snooze bar: its key number, then its name.
class SnoozeOptionButton : public PressButton {
    Q_OBJECT

public:
    SnoozeOptionButton(SnoozeOption option, ListStyle style, QWidget* parent = nullptr);
    SnoozeOption option() const { return m_option; }
    QString name() const { return m_name; }
    QSize sizeHint() const override;

protected:
    void paintLabel(QPainter& painter) override;
    bool hitButton(const QPoint& pos) const override;

private:
    QFont keyFont() const;
    QFont nameFont() const;
    SnoozeOption m_option;
    QString m_name;
};

// The bar that asks how long to snooze: four choices, picked by click or by the keys 1 to 4; Escape
// backs out.
class SnoozeBar : public QWidget {
    Q_OBJECT

public:
    static constexpr std::array<SnoozeOption, 4> options = kSnoozeOptions;

    explicit SnoozeBar(ListStyle style, QWidget* parent = nullptr);
    static QString optionName(SnoozeOption option, ListStyle style);

Q_SIGNALS:
    void picked(vorn::SnoozeOption option);
    // Escape: no snooze after all.
    void cancelled();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void pick(SnoozeOption option);
};

} // namespace vorn
