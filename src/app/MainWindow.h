#pragma once

#include <QMainWindow>

#include <optional>

namespace vorn {

class AppCommands;
class AppModel;
class MainView;

// The main window: the main view with the app's menus. The model outlives it.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr QSize defaultSize{900, 600};

    explicit MainWindow(AppModel& model, QWidget* parent = nullptr);

    MainView* mainView() const { return m_view; }
    AppCommands* commands() const { return m_commands; }
    // Shown, mapped again if the desktop took it off the screen (minimised), in front, with the keyboard.
    void bringForward();
    // Hidden for focus mode; bringForward() puts it back where it was, at its size.
    void putAway();
    // The next bringForward() puts the window in the taskbar, minimised, instead of in front.
    void comeBackMinimized() { m_comeBackMinimized = true; }

private:
    // The frame's position and the size, while put away.
    std::optional<QRect> m_putAwayFrame;
    bool m_comeBackMinimized = false;
    MainView* m_view;
    AppCommands* m_commands;
};

} // namespace vorn
