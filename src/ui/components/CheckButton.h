#pragma once

#include "ui/components/PressStyle.h"

#include <functional>

namespace vorn {

// The done box of a row: ticked when done, an empty faint box when not.
class CheckButton : public PressButton {
    Q_OBJECT

public:
    explicit CheckButton(bool isDone = false, std::function<void()> action = {}, QWidget* parent = nullptr);
    bool isDone() const { return m_done; }
    void setDone(bool done);
    void setAction(std::function<void()> action) { m_action = std::move(action); }
    QSize sizeHint() const override { return {22, 22}; }

protected:
    void paintLabel(QPainter& painter) override;

private:
    bool m_done;
    std::function<void()> m_action;
};

} // namespace vorn
