#include "Planner.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vorn"));
    QCoreApplication::setApplicationName(QStringLiteral("vorn-planner"));

    QTextStream out(stdout);
    QTextStream err(stderr);
    return vorn::planner::run(QCoreApplication::arguments().mid(1), out, err);
}
