#pragma once

#include "model/Entities.h"
#include "ui/list/ThingList.h"

#include <QPainterPath>
#include <QPointer>
#include <QWidget>

class QVBoxLayout;
class QVariantAnimation;

namespace vorn {

class AppModel;
class FocusHeader;
class ToastView;

// The whole content of the focus panel: the header over the current list in its compact style, on a
// translucent rounded background, with the toast over the bottom. It measures its natural height and
// announces every change, so the panel can fit itself to the content.
class FocusView : public QWidget {
    Q_OBJECT

public:
    static constexpr int hoverMSecs = 120;
    static constexpr int cornerRadius = 18;
    static constexpr int toastBottom = 8;

    explicit FocusView(AppModel& model, QWidget* parent = nullptr);

    FocusHeader* header() const { return m_header; }
    ThingList* thingList() const { return m_list; }
    ToastView* toastView() const { return m_toast; }
    // The model's source, or Today while the random tab is selected.
    const Source& shownSource() const { return m_source; }
    // The height the content wants, as last announced.
    int naturalHeight() const { return m_reported; }
    // Measures now rather than on the next turn, and announces a change.
    void measure();
    // Without a compositor nothing shows through: the glass is painted solid, the desktop behind it
    // would only come out as black.
    void setSeeThrough(bool seeThrough);
    // The rounded outline the background fills, for a panel of `size`.
    static QPainterPath outline(const QSizeF& size);

Q_SIGNALS:
    void heightChanged(int height);
    // A click in the list: the panel takes the keys.
    void activateRequested();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void showSource();
    void scheduleMeasure();
    void placeToast();
    void fadeButtons(qreal to);

    AppModel& m_model;
    QVBoxLayout* m_layout;
    FocusHeader* m_header;
    QPointer<ThingList> m_list;
    ToastView* m_toast;
    QVariantAnimation* m_hover;
    Source m_source = Source::today;
    int m_reported = 0;
    bool m_measurePending = false;
    bool m_seeThrough = true;
};

} // namespace vorn
