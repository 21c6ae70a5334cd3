#include "client/ui/media/QnVideoMedia.h"

#include <QAudio>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace QnVideoMedia {

std::optional<Command> parseCommand(const QByteArray &bytes)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject object = doc.object();
    const QJsonValue type = object.value(QStringLiteral("type"));
    if (!type.isDouble())
        return std::nullopt;
    const double value = type.toDouble();
    if (value != std::floor(value) || value < CommandPlay || value > CommandPlayPause)
        return std::nullopt;
    Command command;
    command.type = int(value);
    const QJsonObject data = object.value(QStringLiteral("data")).toObject();
    command.path = data.value(QStringLiteral("path")).toString();
    command.playtime = data.value(QStringLiteral("playtime")).toDouble();
    command.totaltime = data.value(QStringLiteral("totaltime")).toDouble();
    return command;
}

int volumeStep(int current, int delta)
{
    const int next = current + delta;
    if (next > 100)
        return current;
    return std::max(0, next);
}

int playerVolume(int sliderValue)
{
    const qreal level = std::min(100, std::max(0, sliderValue)) / 100.0;
    const qreal linear =
        QAudio::convertVolume(level, QAudio::LogarithmicVolumeScale, QAudio::LinearVolumeScale);
    return int(std::lround(linear * 100));
}

QString bufferSpeedText(double speed)
{
    QString unit = QStringLiteral("B/s");
    double value = speed;
    if (speed > 1073741824.0) {
        value = speed / 1024 / 1024 / 1024;
        unit = QStringLiteral("G/s");
    } else if (speed > 1048576.0) {
        value = speed / 1024 / 1024;
        unit = QStringLiteral("M/s");
    } else if (speed > 1024.0) {
        value = speed / 1024;
        unit = QStringLiteral("K/s");
    }
    return QStringLiteral("%1").arg(value, 6, 'f', 1) + unit;
}

QString mediaStatusText(QMediaPlayer::MediaStatus status)
{
    switch (status) {
    case QMediaPlayer::NoMedia:
        return QCoreApplication::translate("QnVideoItem", "No media");
    case QMediaPlayer::LoadingMedia:
        return QCoreApplication::translate("QnVideoItem", "Loading...");
    case QMediaPlayer::LoadedMedia:
        return QCoreApplication::translate("QnVideoItem", "Loaded");
    case QMediaPlayer::StalledMedia:
        return QCoreApplication::translate("QnVideoItem", "Stalled");
    case QMediaPlayer::BufferingMedia:
        return QCoreApplication::translate("QnVideoItem", "Buffering...");
    case QMediaPlayer::BufferedMedia:
        return QCoreApplication::translate("QnVideoItem", "Buffered");
    case QMediaPlayer::InvalidMedia:
        return QCoreApplication::translate("QnVideoItem", "Invalid meida");
    default:
        return QString();
    }
}

QByteArray stopReport(int button, qint64 playtime, qint64 totaltime)
{
    QJsonObject object;
    object.insert(QStringLiteral("button"), button);
    object.insert(QStringLiteral("playtime"), double(playtime));
    object.insert(QStringLiteral("totaltime"), double(totaltime));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QImage i420ToImage(const QByteArray &data, int width, int height)
{
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384)
        return QImage();
    const int cw = (width + 1) / 2;
    const int ch = (height + 1) / 2;
    const qint64 need = qint64(width) * height + 2 * qint64(cw) * ch;
    if (data.size() < need)
        return QImage();
    const auto *y = reinterpret_cast<const uchar *>(data.constData());
    const uchar *u = y + qint64(width) * height;
    const uchar *v = u + qint64(cw) * ch;
    QImage image(width, height, QImage::Format_RGB32);
    auto clamp = [](int c) { return c < 0 ? 0 : (c > 255 ? 255 : c); };
    for (int row = 0; row < height; ++row) {
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(row));
        for (int col = 0; col < width; ++col) {
            const int c = y[qint64(row) * width + col] - 16;
            const int d = u[qint64(row / 2) * cw + col / 2] - 128;
            const int e = v[qint64(row / 2) * cw + col / 2] - 128;
            out[col] =
                qRgb(clamp((298 * c + 409 * e + 128) >> 8), clamp((298 * c - 100 * d - 208 * e + 128) >> 8),
                     clamp((298 * c + 516 * d + 128) >> 8));
        }
    }
    return image;
}

} // namespace QnVideoMedia
