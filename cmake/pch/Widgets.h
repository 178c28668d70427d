// Precompiled for targets that link Qt Widgets: Gui.h and the widgets most of the windows use.
#pragma once

#include "Gui.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>
