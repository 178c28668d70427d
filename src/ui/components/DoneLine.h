#pragma once

#include "ui/components/ListStyle.h"

#include <QWidget>

namespace vorn {

// Below Today's rows once every one of them is done.
class DoneLine : public QWidget {
    Q_OBJECT

public:
    explicit DoneLine(ListStyle style, QWidget* parent = nullptr);
    static QString text() { return QStringLiteral("Done. Take the rest of the day."); }
};

} // namespace vorn
