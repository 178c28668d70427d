#pragma once

#include "family/SharedThing.h"

#include <QWidget>

#include <functional>
#include <optional>

class QLineEdit;

namespace vorn {

class AppModel;
class CheckButton;
class ThemedLabel;

// An inline rename of a family row: the draft lives with whoever owns the rename.
struct FamilyRename {
    QString draft;
    bool focus = true;
    std::function<void(const QString&)> onDraftChanged;
    std::function<void()> onCommit;
    std::function<void()> onCancel;
};

// A row of a thing another app of the family owns, shown in Today.
class FamilyThingRow : public QWidget {
    Q_OBJECT

public:
    FamilyThingRow(AppModel& model, SharedThing thing, QWidget* parent = nullptr);
    const SharedThing& thing() const { return m_thing; }
    void setThing(SharedThing thing);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    void setRename(std::optional<FamilyRename> rename);
    void setOnNameTap(std::function<void()> f) { m_onNameTap = std::move(f); }
    void setOnNameDoubleTap(std::function<void()> f) { m_onNameDoubleTap = std::move(f); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyThing();
    AppModel& m_model;
    SharedThing m_thing;
    bool m_selected = false;
    std::optional<FamilyRename> m_rename;
    std::function<void()> m_onNameTap;
    std::function<void()> m_onNameDoubleTap;
    CheckButton* m_check;
    ThemedLabel* m_title;
    QLineEdit* m_field = nullptr;
    ThemedLabel* m_app;
};

} // namespace vorn
