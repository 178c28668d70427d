#pragma once

#include <QWidget>

class QPushButton;
class QStackedLayout;

namespace vorn {

class AppModel;
class PixelView;
class Thing;
class ElidedLabel;
class ThemedLabel;
class ZCount;

// The "can't decide" tab: the model's random pick as a card, R for another, Return to do it.
class RandomScreen : public QWidget {
    Q_OBJECT

public:
    explicit RandomScreen(AppModel& model, QWidget* parent = nullptr);
    // Where the pick comes from, as the card says it.
    static QString originText(const AppModel& model, const Thing& thing);
    // The pick on show, or null when the empty state shows.
    Thing* shownPick() const { return m_pick; }
    QString cardTitle() const;
    QString cardLine() const;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void refresh();
    void reroll();
    void accept();
    AppModel& m_model;
    Thing* m_pick = nullptr;
    QStackedLayout* m_stack;
    QWidget* m_card;
    QWidget* m_empty;
    ElidedLabel* m_title;
    ZCount* m_zs;
    ThemedLabel* m_line;
};

} // namespace vorn
