#pragma once

#include <QWidget>

namespace vorn {

// The snooze badge: up to three z's rising like stairs, in the snooze colour. Callers show it only for
// a count of at least 1. For accessibility it is one element labelled with the full count.
class ZCount : public QWidget {
    Q_OBJECT

public:
    ZCount(int count, qreal unit, QWidget* parent = nullptr);

    int count() const { return m_count; }
    void setCount(int count);
    qreal unit() const { return m_unit; }

    // How many z's are drawn: the count, capped at three.
    int shown() const;
    // Room above the first z for the raised copies.
    qreal topInset() const;
    // Where copy `i` (0 is the leftmost) is drawn: one unit higher than the copy before it.
    QPointF copyOrigin(int i) const;

    static QString accessibleLabel(int count);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void applySize();

    int m_count;
    qreal m_unit;
};

} // namespace vorn
