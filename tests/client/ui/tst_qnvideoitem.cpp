// The media tiles: remote command table, volume and text rules, the control bar, the tile's
// state driven by a real QMediaPlayer on a file ffmpeg makes, and the tile grid's forwarding.
#include "client/ui/QnLoadingWidget.h"
#include "client/ui/media/QnVideoItem.h"
#include "client/ui/media/QnVideoLayouts.h"
#include "client/ui/media/QnVideoMedia.h"
#include "client/ui/media/QnVideoProgressBar.h"
#include "client/ui/media/QnVideoSurface.h"

#include "tests/fixtures/support/QnTestSkip.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray command(int type, double playtime = 0)
{
    return QStringLiteral(R"({"type":%1,"data":{"path":"/tmp/a.ogv","playtime":%2,"totaltime":3}})")
        .arg(type)
        .arg(playtime)
        .toUtf8();
}

} // namespace

class TestQnVideoItem : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_media;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
        if (ffmpeg.isEmpty())
            return;
        m_media = m_dir.filePath(QStringLiteral("clip.ogv"));
        QProcess p;
        p.start(ffmpeg, {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                         QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                         QStringLiteral("testsrc=size=160x120:rate=10:duration=3"), QStringLiteral("-f"),
                         QStringLiteral("lavfi"), QStringLiteral("-i"),
                         QStringLiteral("sine=frequency=440:duration=3"), QStringLiteral("-c:v"),
                         QStringLiteral("libtheora"), QStringLiteral("-c:a"), QStringLiteral("libvorbis"),
                         QStringLiteral("-y"), m_media});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
    }

    void commandTable_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("type"); // -1: not acted on
        QTest::addColumn<double>("playtime");
        for (int t = 0; t <= 6; ++t)
            QTest::addRow("type %d", t) << command(t, 1.5) << t << 1.5;
        QTest::newRow("type 7") << command(7) << -1 << 0.0;
        QTest::newRow("type -1") << command(-1) << -1 << 0.0;
        QTest::newRow("type 2.5") << QByteArray(R"({"type":2.5})") << -1 << 0.0;
        QTest::newRow("type as text") << QByteArray(R"({"type":"0"})") << -1 << 0.0;
        QTest::newRow("no type") << QByteArray(R"({"data":{}})") << -1 << 0.0;
        QTest::newRow("array") << QByteArray("[0]") << -1 << 0.0;
        QTest::newRow("not json") << QByteArray("play") << -1 << 0.0;
        QTest::newRow("empty") << QByteArray() << -1 << 0.0;
        QTest::newRow("no data") << QByteArray(R"({"type":1})") << 1 << 0.0;
    }
    void commandTable()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, type);
        QFETCH(double, playtime);
        const auto parsed = QnVideoMedia::parseCommand(bytes);
        QCOMPARE(parsed.has_value(), type >= 0);
        if (parsed) {
            QCOMPARE(parsed->type, type);
            QCOMPARE(parsed->playtime, playtime);
        }
        // Without a player a tile acts on nothing.
        QnVideoItem item(QStringLiteral("u1"));
        QSignalSpy play(&item, &QnVideoItem::playMedia);
        QSignalSpy gone(&item, &QnVideoItem::disconnectItem);
        QVERIFY(!item.setMediaChangedData(bytes));
        QCOMPARE(play.count() + gone.count(), 0);
    }

    void volumeMapping_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("expected");
        QTest::newRow("up") << 50 << 5 << 55;
        QTest::newRow("up to 100") << 95 << 5 << 100;
        QTest::newRow("up past 100 ignored") << 98 << 5 << 98;
        QTest::newRow("up at 100 ignored") << 100 << 5 << 100;
        QTest::newRow("down") << 50 << -5 << 45;
        QTest::newRow("down stops at 0") << 3 << -5 << 0;
        QTest::newRow("down at 0") << 0 << -5 << 0;
    }
    void volumeMapping()
    {
        QFETCH(int, current);
        QFETCH(int, delta);
        QFETCH(int, expected);
        QCOMPARE(QnVideoMedia::volumeStep(current, delta), expected);
    }

    void playerVolume()
    {
        QCOMPARE(QnVideoMedia::playerVolume(0), 0);
        QCOMPARE(QnVideoMedia::playerVolume(100), 100);
        QCOMPARE(QnVideoMedia::playerVolume(150), 100);
        QCOMPARE(QnVideoMedia::playerVolume(-3), 0);
        int last = 0;
        for (int v = 5; v <= 100; v += 5) {
            QVERIFY(QnVideoMedia::playerVolume(v) >= last);
            last = QnVideoMedia::playerVolume(v);
        }
        QVERIFY(QnVideoMedia::playerVolume(50) < 50); // perceptual slider: half is quieter than half power
    }

    void speedText_data()
    {
        QTest::addColumn<double>("speed");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "   0.0B/s";
        QTest::newRow("1024 is bytes") << 1024.0 << "1024.0B/s";
        QTest::newRow("1.5K") << 1536.0 << "   1.5K/s";
        QTest::newRow("1 MiB is K") << 1048576.0 << "1024.0K/s";
        QTest::newRow("1.5M") << 1572864.0 << "   1.5M/s";
        QTest::newRow("2G") << 2147483648.0 << "   2.0G/s";
    }
    void speedText()
    {
        QFETCH(double, speed);
        QFETCH(QString, text);
        QCOMPARE(QnVideoMedia::bufferSpeedText(speed), text);
    }

    void statusTexts()
    {
        QCOMPARE(QnVideoMedia::mediaStatusText(QMediaPlayer::NoMedia), QStringLiteral("No media"));
        QCOMPARE(QnVideoMedia::mediaStatusText(QMediaPlayer::LoadingMedia), QStringLiteral("Loading..."));
        QCOMPARE(QnVideoMedia::mediaStatusText(QMediaPlayer::BufferingMedia), QStringLiteral("Buffering..."));
        QCOMPARE(QnVideoMedia::mediaStatusText(QMediaPlayer::InvalidMedia), QStringLiteral("Invalid meida"));
        QVERIFY(QnVideoMedia::mediaStatusText(QMediaPlayer::EndOfMedia).isEmpty());
    }

    void slotsWithoutSender()
    {
        QnVideoItem item(QStringLiteral("u1"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^invalid sender\\(\\)")));
        item.onMediaStatusChanged();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^invalid sender\\(\\)")));
        item.onBufferProgress(2048);
        QVERIFY(item.speedText().isEmpty());
    }

    void progressBarReadings_data()
    {
        QTest::addColumn<bool>("playing");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("state");
        QTest::newRow("paused") << false << 1000 << 1;
        QTest::newRow("paused at end") << false << 3000 << 1;
        QTest::newRow("playing") << true << 1000 << 2;
        QTest::newRow("playing at end") << true << 3000 << 3;
    }
    void progressBarReadings()
    {
        QFETCH(bool, playing);
        QFETCH(int, value);
        QFETCH(int, state);
        QnVideoProgressBar bar;
        QSignalSpy status(&bar, &QnVideoProgressBar::playStatus);
        bar.setDuration(3000);
        bar.setPosition(value);
        bar.playButton()->setChecked(playing);
        QCOMPARE(status.count(), playing ? 1 : 0);
        QCOMPARE(bar.buttonState(), state);
        QCOMPARE(bar.playTime(), qint64(value / 1000));
        QCOMPARE(bar.totalTime(), qint64(3));
        bar.setTimeUnit(10); // slider steps of 10 ms
        bar.setDuration(3000);
        QCOMPARE(bar.slider()->maximum(), 300);
        QCOMPARE(bar.totalTime(), qint64(3));
        // The volume button shows and hides the volume bar.
        bar.show();
        QVERIFY(!bar.volumeBar()->isVisible());
        QTest::mouseClick(bar.volumeButton(), Qt::LeftButton);
        QVERIFY(bar.volumeBar()->isVisible());
        QTest::mouseClick(bar.volumeButton(), Qt::LeftButton);
        QVERIFY(!bar.volumeBar()->isVisible());
    }

    void yuvFrames()
    {
        QnVideoItem item(QStringLiteral("u1"));
        const QByteArray grey =
            QByteArray(4 * 2, char(126)) + QByteArray(2 * 2, char(128)); // Y, then U and V
        item.setYuvData(grey.left(5), 4, 2);                             // too short: dropped
        QVERIFY(item.view()->frame().isNull());
        item.setYuvData(grey, 4, 2);
        QCOMPARE(item.view()->frame().size(), QSize(4, 2));
        const QColor c = item.view()->frame().pixelColor(1, 1);
        QVERIFY(qAbs(c.red() - 128) <= 2 && qAbs(c.green() - 128) <= 2 && qAbs(c.blue() - 128) <= 2);
        item.setYuvData(grey, -4, 2);
        item.setYuvData(grey, 5, 3); // odd size needs 15 + 2 * 2 * 2 bytes
        QCOMPARE(item.view()->frame().size(), QSize(4, 2));
    }

    void floatingBar()
    {
        QnVideoItem item(QStringLiteral("u1"));
        item.resize(400, 300);
        item.setMediaType(3);
        QSignalSpy changed(&item, &QnVideoItem::rectChanged);
        item.updateRect();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(item.progressBar()->geometry(), QRect(100, 210, 200, 40));
    }

    void playerStates()
    {
        if (m_media.isEmpty())
            QN_SKIP_MISSING("ffmpeg not installed");
        QnVideoItem item(QStringLiteral("peer-7"));
        item.resize(320, 240);
        item.show();
        QSignalSpy play(&item, &QnVideoItem::playMedia);
        QSignalSpy gone(&item, &QnVideoItem::disconnectItem);
        QSignalSpy stopped(&item, &QnVideoItem::stopMedia);
        item.setPlayVideo(m_media);
        QVERIFY(item.player());
        QCOMPARE(item.mediaPath(), m_media);
        QTRY_VERIFY_WITH_TIMEOUT(item.player()->mediaStatus() == QMediaPlayer::LoadedMedia, 15000);
        QCOMPARE(item.statusText(), QStringLiteral("Loaded"));
        QVERIFY(!item.loadingWidget()->isVisible());

        // play
        QVERIFY(item.setMediaChangedData(command(0)));
        QCOMPARE(play.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(item.player()->state(), QMediaPlayer::PlayingState, 10000);
        QVERIFY(item.progressBar()->playButton()->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(item.player()->position() > 0, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(item.progressBar()->totalTime(), qint64(3), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!item.view()->frame().isNull(), 10000); // frames reach the tile
        // pause
        QVERIFY(item.setMediaChangedData(command(1)));
        QTRY_COMPARE(item.player()->state(), QMediaPlayer::PausedState);
        QVERIFY(!item.progressBar()->playButton()->isChecked());
        // seek to 2 s
        QVERIFY(item.setMediaChangedData(command(5, 2)));
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(item.player()->position() - 2000) < 300, 10000);
        // volume: up at 100 is ignored, down by 5
        QCOMPARE(item.progressBar()->volumeBar()->value(), 100);
        QVERIFY(item.setMediaChangedData(command(4)));
        QCOMPARE(item.progressBar()->volumeBar()->value(), 100);
        QVERIFY(item.setMediaChangedData(command(3)));
        QCOMPARE(item.progressBar()->volumeBar()->value(), 95);
        QCOMPARE(item.player()->volume(), QnVideoMedia::playerVolume(95));
        // an unknown type changes nothing
        QVERIFY(!item.setMediaChangedData(command(7)));
        QCOMPARE(item.player()->state(), QMediaPlayer::PausedState);
        // play, then pause at once
        QVERIFY(item.setMediaChangedData(command(6)));
        QTRY_COMPARE(item.player()->state(), QMediaPlayer::PausedState);
        QVERIFY(!item.progressBar()->playButton()->isChecked());
        // play again from the button, then quit: the report reads the bar before stopping
        QTest::mouseClick(item.progressBar()->playButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(item.player()->state(), QMediaPlayer::PlayingState, 10000);
        item.on_quitButton_clicked();
        QCOMPARE(gone.count(), 1);
        QCOMPARE(gone.at(0).at(0).toString(), QStringLiteral("peer-7"));
        QCOMPARE(stopped.count(), 1);
        const QJsonObject report = QJsonDocument::fromJson(stopped.at(0).at(1).toByteArray()).object();
        QVERIFY(report.value(QStringLiteral("button")).toInt() >= 2);
        QCOMPARE(report.value(QStringLiteral("totaltime")).toInt(), 3);
        QVERIFY(report.value(QStringLiteral("playtime")).toInt() >= 1);
        QCOMPARE(item.player()->state(), QMediaPlayer::StoppedState);
        // stop command
        QVERIFY(item.setMediaChangedData(command(0)));
        QTRY_COMPARE_WITH_TIMEOUT(item.player()->state(), QMediaPlayer::PlayingState, 10000);
        QVERIFY(item.setMediaChangedData(command(2)));
        QCOMPARE(item.player()->state(), QMediaPlayer::StoppedState);
        QCOMPARE(gone.count(), 2);
        QVERIFY(item.availableAudioEquipment());
    }

    void invalidMedia()
    {
        QnVideoItem item(QStringLiteral("u1"));
        const QString junk = m_dir.filePath(QStringLiteral("junk.ogv"));
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        item.setPlayVideo(junk);
        QTRY_COMPARE_WITH_TIMEOUT(item.statusText(), QStringLiteral("Invalid meida"), 15000);
    }

    void layoutsForward()
    {
        QnVideoLayouts layouts;
        QSignalSpy count(&layouts, &QnVideoLayouts::updateForScreenCount);
        QSignalSpy closed(&layouts, &QnVideoLayouts::closeItem);
        QSignalSpy full(&layouts, &QnVideoLayouts::existsFullScreenPlayer);
        QSignalSpy stops(&layouts, &QnVideoLayouts::stopMedia);
        QnVideoItem *a = layouts.addItem(QStringLiteral("a"));
        QnVideoItem *b = layouts.addItem(QStringLiteral("b"));
        QCOMPARE(layouts.addItem(QStringLiteral("a")), a);
        QCOMPARE(layouts.itemCount(), 2);
        QCOMPARE(count.count(), 2);

        QByteArray frame(8 + 4, char(128));
        layouts.setYuvData(QStringLiteral("b"), frame, 4, 2);
        layouts.setYuvData(QStringLiteral("nobody"), frame, 4, 2);
        QVERIFY(a->view()->frame().isNull());
        QCOMPARE(b->view()->frame().size(), QSize(4, 2));

        layouts.playVideo(QStringLiteral("a"), QStringLiteral("/nonexistent/clip.ogv"));
        QCOMPARE(a->mediaPath(), QStringLiteral("/nonexistent/clip.ogv"));
        QVERIFY(a->player());
        QVERIFY(!b->player());
        layouts.mediaChanged(QStringLiteral("b"), command(2)); // no player: nothing
        QCOMPARE(closed.count(), 0);
        layouts.mediaChanged(QStringLiteral("a"), command(2));
        QCOMPARE(closed.count(), 1);
        QCOMPARE(closed.at(0).at(0).toString(), QStringLiteral("a"));

        b->on_fullButton_clicked();
        QCOMPARE(full.count(), 1);
        QCOMPARE(full.at(0).at(0).toBool(), true);
        b->on_quitButton_clicked();
        QCOMPARE(stops.count(), 1);
        QCOMPARE(stops.at(0).at(0).toString(), QStringLiteral("b"));

        QVERIFY(layouts.removeItem(QStringLiteral("a")));
        QVERIFY(!layouts.removeItem(QStringLiteral("a")));
        QCOMPARE(layouts.itemCount(), 1);
        QCOMPARE(count.last().at(0).toInt(), 1);
    }
};

QTEST_MAIN(TestQnVideoItem)
#include "tst_qnvideoitem.moc"
