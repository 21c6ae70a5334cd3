#pragma once

// Shared set-up of the account page tests: the cloud fixture as the cloud client's service, the
// program's translations and fonts, an isolated data folder, and reading the toasts on screen.

#include "client/ui/QnFloatTip.h"
#include "client/ui/QnFonts.h"
#include "common/http/QnLynInterNetWorkManager.h"
#include "resources/QnResources.h"
#include "tests/fixtures/cloud/QnCloudFixture.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QTranslator>

namespace AccountTestEnv {

/// Once per test program: resources, fonts, the Chinese catalogue, test-mode data folders.
inline void initProgram()
{
    QStandardPaths::setTestModeEnabled(true);
    QnResources::init();
    QnFonts::install();
    static QTranslator translator;
    if (translator.load(QStringLiteral(":/trans/QnLynClient_zh_CN")))
        QCoreApplication::installTranslator(&translator);
}

/// Points the process-wide cloud client at the fixture.
inline void useFixture(QnCloudFixture &cloud)
{
    QnLynInterNetWorkManager::instance()->setSiteAddress(cloud.siteUrl());
}

/// Texts of the toasts now on screen.
inline QStringList toasts()
{
    QStringList texts;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *tip = qobject_cast<QnFloatTip *>(w);
        if (!tip || !tip->isVisible())
            continue;
        if (auto *label = tip->findChild<QLabel *>(QStringLiteral("labelMsg")))
            texts << label->text();
    }
    return texts;
}

/// Closes every toast (between test functions).
inline void closeToasts()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<QnFloatTip *>(w))
            w->close();
    }
}

/// True when no file under dir holds needle (the plain or Base64 password).
inline bool noFileHolds(const QString &dir, const QByteArray &needle)
{
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        if (f.open(QIODevice::ReadOnly) && (f.readAll().contains(needle) || false))
            return false;
    }
    return true;
}

} // namespace AccountTestEnv
