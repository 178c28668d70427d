#pragma once

#include "notes/view/NoteCommand.h"

#include <QAbstractButton>
#include <QColor>

class QVariantAnimation;

namespace vorn::notes {

// One command of the format popover: a rounded surface that lights in the accent colour while its
// formatting is in effect. It never takes keyboard focus, so the note keeps its caret and selection.
class FormatControl : public QAbstractButton {
    Q_OBJECT

public:
    enum class Kind { title, glyph, symbol, symbolAndTitle };

    static constexpr int controlHeight = 32;
    static constexpr qreal cornerRadius = 8;
    static constexpr int fillMSecs = 120;
    static constexpr int pressMSecs = 100;
    static constexpr int releaseMSecs = 160;
    static constexpr qreal pressedScale = 0.97;

    explicit FormatControl(NoteCommand command, QWidget* parent = nullptr);

    // What the control shows follows from its command: the text roles show their face, bold, italic and
    // underline a glyph, the lists and divider an icon, collapsible an icon and its label.
    static Kind kindOf(NoteCommand command);

    NoteCommand command() const { return m_command; }
    Kind kind() const { return m_kind; }

    bool isOn() const { return m_on; }
    void setOn(bool on, bool animated);
    bool isHovered() const { return m_hovered; }
    bool isPressed() const { return isDown(); }

    // The surface as painted now, and where it is heading; they differ only while it animates.
    QColor fill() const { return m_fill; }
    QColor targetFill() const;
    QColor contentColor() const;
    qreal surfaceScale() const { return m_scale; }
    bool isAnimating() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Moves the fill toward targetFill(): eased, or at once.
    void updateFill(bool animated);
    void updateScale();
    void paintContent(QPainter& painter, const QRect& area) const;

    NoteCommand m_command;
    Kind m_kind;
    bool m_on = false;
    bool m_hovered = false;
    QColor m_fill;
    QColor m_fillFrom;
    QColor m_fillTo;
    qreal m_scale = 1;
    QVariantAnimation* m_fillAnimation;
    QVariantAnimation* m_scaleAnimation;
};

} // namespace vorn::notes
