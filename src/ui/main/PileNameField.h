#pragma once

#include <QFrame>

class QLineEdit;

namespace vorn {

// The popover form that names a new pile or renames one: a caption, one field and a hint, no button.
// Return hands the text over exactly as typed; cleaning it up is the model's business.
class PileNameField : public QFrame {
    Q_OBJECT

public:
    static inline const QString placeholder = QStringLiteral("Groceries, a trip, that thing");
    static inline const QString hint =
        QStringLiteral("Nothing in a list is due. Press T to pull a thing into Today.");

    PileNameField(const QString& title, const QString& initial, QWidget* parent = nullptr);

    QLineEdit* field() const { return m_field; }
    QString name() const;

Q_SIGNALS:
    void done(const QString& name);
    // The popover went away, by Return or by a click elsewhere.
    void dismissed();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QLineEdit* m_field;
};

} // namespace vorn
