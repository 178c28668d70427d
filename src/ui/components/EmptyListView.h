#pragma once

#include "model/Entities.h"
#include "ui/components/ListStyle.h"

#include <QWidget>

namespace vorn {

class ThemedLabel;

// What an empty list says instead of rows.
class EmptyListView : public QWidget {
    Q_OBJECT

public:
    EmptyListView(const Source& source, ListStyle style, QWidget* parent = nullptr);
    static QString message(const Source& source, ListStyle style);
    QString text() const;

private:
    ThemedLabel* m_label;
};

} // namespace vorn
