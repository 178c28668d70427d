// Precompiled for targets that link Qt Gui (and not Widgets): Core.h and the painting and text classes.
#pragma once

#include "Core.h"

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
