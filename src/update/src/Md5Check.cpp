#include "update/src/Md5Check.h"

#include <QCryptographicHash>
#include <QFile>
#include <QLoggingCategory>
#include <QMutexLocker>

Q_LOGGING_CATEGORY(lcMd5Check, "qn.update.md5")

namespace {
constexpr qint64 kPiece = 1048576; // 1 MiB
} // namespace

Md5Check::Md5Check(QObject *parent) : QThread(parent)
{
    setObjectName(QStringLiteral("qn-md5check"));
}

Md5Check::~Md5Check()
{
    stop();
    wait();
}

void Md5Check::setFile(const QString &path, const QString &expectedMd5)
{
    QMutexLocker lock(&m_mutex);
    m_path = path;
    m_expectedMd5 = expectedMd5;
    m_stop = false;
}

void Md5Check::stop()
{
    m_stop = true;
}

void Md5Check::run()
{
    QString path;
    QString expected;
    {
        QMutexLocker lock(&m_mutex);
        path = m_path;
        expected = m_expectedMd5;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcMd5Check) << "cannot open" << path;
        emit checkedFinished(false);
        return;
    }
    QCryptographicHash hash(QCryptographicHash::Md5);
    const qint64 size = file.size();
    qint64 done = 0;
    while (done < size) {
        if (m_stop) {
            emit checkedFinished(false);
            return;
        }
        const QByteArray piece = file.read(qMin(kPiece, size - done));
        if (piece.isEmpty()) {
            emit checkedFinished(false);
            return;
        }
        hash.addData(piece);
        done += piece.size();
        emit checkProgress(done, size);
    }
    file.close();
    const QString md5 = QString::fromLatin1(hash.result().toHex());
    qCDebug(lcMd5Check) << "md5:" << md5;
    emit checkedFinished(!expected.isEmpty() && md5 == expected);
}
