#pragma once

#include <QByteArray>
#include <QImage>
#include <QMediaPlayer>
#include <QString>

#include <optional>

/// Plain rules of the media tile: texts, the remote media command, volume steps and frames.
namespace QnVideoMedia {

/// The remote media commands a tile acts on (the "type" of the command's JSON).
enum CommandType {
    CommandPlay = 0,
    CommandPause = 1,
    CommandStop = 2,
    CommandVolumeDown = 3,
    CommandVolumeUp = 4,
    CommandSeek = 5,
    CommandPlayPause = 6,
};

/// One remote media command: {"type": n, "data": {"path", "playtime", "totaltime"}}.
struct Command
{
    int type = -1;
    QString path;
    double playtime = 0;  ///< seconds
    double totaltime = 0; ///< seconds
};

/// Parses a command; nullopt for bytes that are not a JSON object with a numeric "type" from 0 to
/// 6 (other types are not acted on).
std::optional<Command> parseCommand(const QByteArray &bytes);

/// The volume slider runs 0 to 100 in steps of 5: a step that would pass 100 is ignored (the
/// current value is kept), one below 0 stops at 0.
int volumeStep(int current, int delta);
/// The player's linear volume (0 to 100) for a slider value (0 to 100, perceptual scale).
int playerVolume(int sliderValue);

/// The buffer speed text: "%1G/s", "%1M/s", "%1K/s" or "%1B/s" with one decimal, padded to six.
QString bufferSpeedText(double bytesPerSecond);
/// The translated text of a media status (context "QnVideoItem"); empty for statuses not shown.
QString mediaStatusText(QMediaPlayer::MediaStatus status);

/// The JSON of a stop report: {"button": b, "playtime": s, "totaltime": s}, compact.
QByteArray stopReport(int button, qint64 playtime, qint64 totaltime);

/// One I420 frame as an RGB32 image; a null image when the size is not positive or data is
/// shorter than width x height x 3 / 2 (odd sizes round the chroma planes up).
QImage i420ToImage(const QByteArray &data, int width, int height);

} // namespace QnVideoMedia
