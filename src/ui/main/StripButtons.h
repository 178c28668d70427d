#pragma once

#include "pixel/Theme.h"
#include "ui/components/PressStyle.h"

#include <optional>

namespace vorn {

// One tab of the strip: a title and, when given and above zero, a muted count, on a capsule that is
// filled only while the tab is selected. A title wider than its cap is elided, never cut.
class TabButton : public PressButton {
    Q_OBJECT

public:
    explicit TabButton(const QString& title, QWidget* parent = nullptr);

    QString title() const { return text(); }
    void setTitle(const QString& title);
    // nullopt: this tab never shows a count.
    void setCount(std::optional<int> count);
    // The count as painted; nullopt when nothing is shown.
    std::optional<int> shownCount() const;
    bool isSelected() const { return isChecked(); }
    void setSelected(bool selected);

    // The most the title may take, in pixels; nullopt: all of it.
    void setTitleCap(std::optional<int> cap);
    // The title as painted: whole, or elided to the cap.
    QString shownTitle() const;
    // The width this tab would take with the title capped at `cap`, for laying out the strip.
    int widthFor(std::optional<int> cap) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

Q_SIGNALS:
    void doubleClicked();

protected:
    void paintLabel(QPainter& painter) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QFont titleFont() const;
    int titleAdvance() const;
    int countPart() const;
    void titleChanged();
    std::optional<int> m_count;
    std::optional<int> m_titleCap;
    mutable QString m_measuredTitle;
    mutable bool m_measuredSelected = false;
    mutable int m_advance = -1;
};

} // namespace vorn
