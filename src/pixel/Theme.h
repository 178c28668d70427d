#pragma once

#include <QColor>
#include <QObject>
#include <QPalette>

#include <optional>

namespace vorn {

enum class Appearance { light, dark };

// The appearance a palette stands for: dark when its text is lighter than its window. Where the desktop
// states no colour scheme, the palette it hands us is the only evidence.
Appearance appearanceOf(const QPalette& palette);

// The appearance in force for the whole application: the test override when set, else the desktop's
// preference, else the desktop palette's.
Appearance currentAppearance();
// A whole palette in the theme's colours, as a desktop in that appearance would hand the app.
QPalette themedPalette(Appearance appearance);

// A colour that decides between its light and dark value each time it is resolved, so screens follow a
// switch of appearance without being rebuilt. A fixed colour is one whose two values are equal.
class Color {
public:
    constexpr Color(QColor light, QColor dark) : m_light(light), m_dark(dark) {}

    constexpr QColor light() const { return m_light; }
    constexpr QColor dark() const { return m_dark; }

    QColor resolved(Appearance appearance) const;
    // For a widget: its own palette decides, so a window with its own appearance gets its own colours.
    QColor resolved(const QPalette& palette) const;
    QColor resolved() const;

    friend bool operator==(const Color& a, const Color& b)
    {
        return a.m_light == b.m_light && a.m_dark == b.m_dark;
    }

    // Fixed colours, the same in both appearances.
    static constexpr QColor paper{246, 243, 236};
    static constexpr QColor ink{18, 18, 17};
    static constexpr QColor yawn{255, 210, 63};
    static constexpr QColor night{28, 27, 25};
    static constexpr QColor stone400{167, 161, 150};
    static constexpr QColor stone600{107, 103, 95};
    static constexpr QColor snooze{169, 155, 255};
    static constexpr QColor snoozeDeep{111, 95, 232};

    // Adaptive colours, each made once on first use.
    static const Color& vornBackground(); // window and note backgrounds
    static const Color& vornText();       // primary text
    static const Color& vornMuted();      // secondary text: summaries, hints, meta
    static const Color& vornFaint();      // faint glyphs, separators, placeholders
    static const Color& vornSnooze();     // the snooze badge and snooze accents
    static const Color& vornSelection();  // selected row, tab and family row
    static const Color& vornWell();       // inset fills
    static const Color& vornGlassTint();  // tint of the focus view's translucent background

private:
    QColor m_light;
    QColor m_dark;
};

// Decides light or dark for the whole application and announces each flip: the desktop stated another
// preference or handed over another palette, or a test set the override. Made on first use, owned by the
// application object.
class AppearanceWatcher : public QObject {
    Q_OBJECT

public:
    static AppearanceWatcher* instance();

    Appearance current() const { return m_current; }

    // Tests force an appearance; nullopt hands the decision back.
    static void setOverride(std::optional<Appearance> appearance);
    // The desktop's preference, from its colour scheme; nullopt when it states none, and then the
    // desktop's palette decides.
    void setPreference(std::optional<Appearance> preference);
    // From now on the application wears the themed palette of the appearance in force, and changes it at
    // each flip, so that every widget, menu and dialog draws in the theme's colours. The desktop's palette
    // is hidden from then on; the appearance it stood for is kept.
    void wearThemedPalette();

Q_SIGNALS:
    void changed(vorn::Appearance appearance);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit AppearanceWatcher(QObject* parent);
    void recheck();

    Appearance m_current;
    std::optional<Appearance> m_worn; // the themed palette the application wears
};

} // namespace vorn
