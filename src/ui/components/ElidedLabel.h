#pragma once

#include "ui/components/ThemedLabel.h"

namespace vorn {

// A one-line label showing as much of its text as fits, with "…" after the rest: a long title never
// widens its window, and only a line's worth of it is laid out.
class ElidedLabel : public ThemedLabel {
    Q_OBJECT

public:
    ElidedLabel(const QFont& font, const Color& color, QWidget* parent = nullptr);

    void setFullText(const QString& text);
    const QString& fullText() const { return m_full; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void elide();
    QString m_full;
};

} // namespace vorn
