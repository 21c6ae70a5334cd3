// Prints the settings path as the program's start-up asks for it before the application object
// exists (given the program's path), then as every later caller asks for it (no name).
#include "common/settings/COption.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    const QString before = COption::configPath(QString::fromLocal8Bit(argv[0]));
    QCoreApplication app(argc, argv);
    const QString after = COption::configPath();
    std::printf("%s\n%s\n", qPrintable(before), qPrintable(after));
    return 0;
}
