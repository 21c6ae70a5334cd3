// x264 encoder, libavcodec decoder and libopus wrappers with real data.
#include "QnScreenShare/h264/H264Encoder.h"
#include "QnScreenShare/h264/KRH264Decoder.h"
#include "QnScreenShare/h264/OpusCodec.h"

#include <QtTest>

#include <cmath>
#include <opus/opus.h>
#include <random>

namespace {

struct Picture
{
    int width = 0;
    int height = 0;
    QByteArray y, u, v;
};

class Collector : public RenderCallback
{
public:
    int onStart() override { return ++starts, 0; }
    int onStop() override { return ++stops, 0; }
    int onFrame(const uint8_t *y, const uint8_t *u, const uint8_t *v, int width, int height) override
    {
        const int cw = (width + 1) / 2, ch = (height + 1) / 2;
        pictures.append({width, height, QByteArray(reinterpret_cast<const char *>(y), width * height),
                         QByteArray(reinterpret_cast<const char *>(u), cw * ch),
                         QByteArray(reinterpret_cast<const char *>(v), cw * ch)});
        return 0;
    }
    QList<Picture> pictures;
    int starts = 0;
    int stops = 0;
};

// An I420 picture with a moving gradient (odd sizes use (w+1)/2 chroma).
QByteArray pattern(int w, int h, int frame)
{
    const int cw = (w + 1) / 2, ch = (h + 1) / 2;
    QByteArray data(w * h + 2 * cw * ch, '\0');
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            data[y * w + x] = char((x + y + frame * 4) & 0xff);
    for (int i = 0; i < cw * ch; ++i) {
        data[w * h + i] = char(100 + (i % cw) / 4);
        data[w * h + cw * ch + i] = char(150 - (i / cw) / 4);
    }
    return data;
}

QByteArray noise(int w, int h, unsigned seed)
{
    std::mt19937 random(seed);
    QByteArray data(w * h * 3 / 2, '\0');
    for (char &c : data)
        c = char(random());
    return data;
}

int encode(const QByteArray &picture, int w, int h, QByteArray &out)
{
    out.resize(H264Encoder::kOutputBufferSize);
    const int n = H264Encoder::instance().encode(reinterpret_cast<const uint8_t *>(picture.constData()), w, h,
                                                 reinterpret_cast<uint8_t *>(out.data()));
    out.resize(std::max(n, 0));
    return n;
}

double meanAbsDiff(const QByteArray &a, const QByteArray &b)
{
    double sum = 0;
    for (int i = 0; i < a.size(); ++i)
        sum += std::abs(int(uint8_t(a[i])) - int(uint8_t(b[i])));
    return a.isEmpty() ? 0 : sum / a.size();
}

} // namespace

class TstCodecs : public QObject
{
    Q_OBJECT

private slots:
    void encodeWhenClosedYieldsNothing();
    void refusedOpenIsAFailedInit_data();
    void refusedOpenIsAFailedInit();
    void roundTrip_data();
    void roundTrip();
    void refusesOtherSize();
    void unchangedBlocksMarked_data();
    void unchangedBlocksMarked();
    void oversizedFrameDroppedAndKeyframeForced();
    void reinitReopensWithNewSize();
    void otherPixelFormatsConverted_data();
    void otherPixelFormatsConverted();
    void decoderRejectsGarbageAndClosedUse();
    void opusRoundTrip();
    void opusPacketDurations();
};

void TstCodecs::encodeWhenClosedYieldsNothing()
{
    H264Encoder::instance().close();
    QByteArray out;
    QCOMPARE(encode(pattern(64, 64, 0), 64, 64, out), 0);
    QVERIFY(!H264Encoder::instance().init(0, 64, 10000000, 30, 60));
    QVERIFY(!H264Encoder::instance().isOpen());
}

static x264_t *refuseOpen(x264_param_t *)
{
    return nullptr;
}

void TstCodecs::refusedOpenIsAFailedInit_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("refuse"); // the open itself is made to fail
    QTest::newRow("width beyond x264's limit") << 20000 << 16 << false;
    QTest::newRow("height beyond x264's limit") << 16 << 20000 << false;
    QTest::newRow("open refused") << 320 << 240 << true;
}

void TstCodecs::refusedOpenIsAFailedInit()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, refuse);
    H264Encoder &encoder = H264Encoder::instance();
    QVERIFY(encoder.init(64, 64, 10000000, 30, 60)); // an open encoder is closed by the failed init
    encoder.setOpenFunction(refuse ? refuseOpen : nullptr);
    const bool opened = encoder.init(width, height, 10000000, 30, 60);
    encoder.setOpenFunction(nullptr);
    QVERIFY(!opened);
    QVERIFY(!encoder.isOpen());
    QByteArray out;
    QCOMPARE(encode(pattern(64, 64, 0), 64, 64, out), 0);
    // The next init with usable arguments opens again.
    QVERIFY(encoder.init(64, 64, 10000000, 30, 60));
    QVERIFY(encode(pattern(64, 64, 0), 64, 64, out) > 0);
    encoder.close();
}

void TstCodecs::roundTrip_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("720p") << 1280 << 720;
    QTest::newRow("640x360") << 640 << 360;
    QTest::newRow("odd 321x241") << 321 << 241;
    QTest::newRow("line size padded 328x200") << 328 << 200;
}

void TstCodecs::roundTrip()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QVERIFY(H264Encoder::instance().init(width, height, 10000000, 30, 60));
    QVERIFY(H264Encoder::instance().isOpen());
    Collector collector;
    {
        KRH264Decoder decoder;
        QCOMPARE(decoder.Init(&collector), 0);
        QCOMPARE(collector.starts, 1);
        const int frames = 35; // crosses the one-second key frame interval
        int keyframes = 0;
        for (int f = 0; f < frames; ++f) {
            QByteArray unit;
            const int n = encode(pattern(width, height, f), width, height, unit);
            QVERIFY2(n > 0, qPrintable(QString::number(n)));
            if (H264Encoder::instance().lastWasKeyframe()) {
                ++keyframes;
                // Parameter sets are repeated in front of every key frame.
                QVERIFY(unit.startsWith(QByteArray("\0\0\0\1\x67", 5)));
            }
            QCOMPARE(
                decoder.DecodeFrame(reinterpret_cast<const uint8_t *>(unit.constData()), unit.size(), f, 0),
                0);
        }
        QCOMPARE(keyframes, 2);
        QCOMPARE(collector.pictures.size(), frames);
        QCOMPARE(decoder.corruptPictures(), 0u);
    }
    QCOMPARE(collector.stops, 1);
    H264Encoder::instance().close();

    // The picture reaches the callback at its own size even when libavcodec pads its rows.
    const Picture &last = collector.pictures.last();
    QCOMPARE(last.width, width + width % 2);
    QCOMPARE(last.height, height + height % 2); // odd sizes travel one pixel larger
    qInfo("%dx%d decoded as %dx%d", width, height, last.width, last.height);
    const int offset = (last.width - width) / 2;
    const QByteArray source = pattern(width, height, 34);
    QByteArray luma, sourceLuma;
    for (int row = 0; row < height; ++row) {
        luma += last.y.mid(row * last.width + offset, width);
        sourceLuma += source.mid(row * width, width);
    }
    QVERIFY2(meanAbsDiff(luma, sourceLuma) < 4, qPrintable(QString::number(meanAbsDiff(luma, sourceLuma))));
}

void TstCodecs::unchangedBlocksMarked_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("720p") << 1280 << 720;
    QTest::newRow("odd 321x241") << 321 << 241;
}

void TstCodecs::unchangedBlocksMarked()
{
    // A still picture with a blinking caret, a colour-only change and a change in the last partial
    // macroblock: the macroblocks marked unchanged are exactly the untouched ones, and every change
    // reaches the decoder (a changed block wrongly marked would stay stale there).
    QFETCH(int, width);
    QFETCH(int, height);
    const int cw = (width + 1) / 2, ch = (height + 1) / 2;
    const int mbW = (width + 1) / 2 * 2 / 16 + ((width + 1) / 2 * 2 % 16 != 0);
    const int mbH = (height + 1) / 2 * 2 / 16 + ((height + 1) / 2 * 2 % 16 != 0);
    const QByteArray slide = pattern(width, height, 0);
    const QRect caret(30, 10, 4, 24); // macroblock columns 1..2, rows 0..2
    auto withCaret = [&](QByteArray picture) {
        for (int y = caret.top(); y <= caret.bottom(); ++y)
            for (int x = caret.left(); x <= caret.right(); ++x)
                picture[y * width + x] = char(16);
        return picture;
    };
    auto withColour = [&](QByteArray picture) { // U of one 8 x 8 block: macroblock (5, 2)
        for (int y = 16; y < 24; ++y)
            for (int x = 40; x < 48; ++x)
                picture[width * height + y * cw + x] = char(30);
        return picture;
    };
    const QRect corner((width - 1) / 16 * 16, height - 1, width - (width - 1) / 16 * 16, 1);
    auto withCorner = [&](QByteArray picture) { // the last row of the last macroblock
        for (int x = corner.left(); x <= corner.right(); ++x)
            picture[(height - 1) * width + x] = char(250);
        return picture;
    };
    struct Step
    {
        QByteArray picture;
        int changedBlocks; // -1: not compared (first picture)
        QRect area;        // luma area that must show the change
    };
    const QByteArray on = withCaret(slide), colour = withColour(on), cornered = withCorner(colour);
    const QVector<Step> steps = {
        {slide, -1, {}},
        {slide, 0, {}},                                       // the same bytes again: no comparing needed
        {QByteArray(slide.constData(), slide.size()), 0, {}}, // equal copy: compared, unchanged
        {on, 6, caret},                                       // 2 columns x 3 rows
        {on, 0, {}},                                          //
        {colour, 1, {}},                                      // chroma only
        {cornered, 1, corner},
        {slide, 8, caret}, // caret, colour and corner taken back
        {slide, 0, {}},
    };

    QVERIFY(H264Encoder::instance().init(width, height, 10000000, 30, 60));
    Collector collector;
    KRH264Decoder decoder;
    QCOMPARE(decoder.Init(&collector), 0);
    for (int round = 0; round < 3; ++round) { // the marks also hold once the quality settled
        for (int i = 0; i < steps.size(); ++i) {
            const Step &step = steps[i];
            const uint64_t before = H264Encoder::instance().unchangedMacroblocks();
            QByteArray unit(H264Encoder::kOutputBufferSize, '\0');
            const int n = H264Encoder::instance().encode(step.picture, width, height,
                                                         reinterpret_cast<uint8_t *>(unit.data()));
            QVERIFY(n > 0);
            const uint64_t unchanged = H264Encoder::instance().unchangedMacroblocks() - before;
            if (step.changedBlocks >= 0 && (round > 0 || i > 0))
                QCOMPARE(int(unchanged), mbW * mbH - step.changedBlocks);
            QCOMPARE(decoder.DecodeFrame(reinterpret_cast<const uint8_t *>(unit.constData()), n, i, 0), 0);
            const Picture &seen = collector.pictures.last();
            // The decoded picture shows this step's content where it changed, and overall.
            auto mean = [&](const QRect &r, const QByteArray &decoded, int stride, const QByteArray &want,
                            int wantStride, int base) {
                double sum = 0;
                for (int y = r.top(); y <= r.bottom(); ++y)
                    for (int x = r.left(); x <= r.right(); ++x)
                        sum += std::abs(int(uint8_t(decoded[y * stride + x])) -
                                        int(uint8_t(want[base + y * wantStride + x])));
                return sum / (r.width() * r.height());
            };
            if (!step.area.isNull())
                QVERIFY2(mean(step.area, seen.y, seen.width, step.picture, width, 0) < 12,
                         qPrintable(QString("step %1: %2")
                                        .arg(i)
                                        .arg(mean(step.area, seen.y, seen.width, step.picture, width, 0))));
            const double colourError =
                mean(QRect(40, 16, 8, 8), seen.u, (seen.width + 1) / 2, step.picture, cw, width * height);
            QVERIFY2(colourError < 8, qPrintable(QString("step %1 colour: %2").arg(i).arg(colourError)));
            QVERIFY(mean(QRect(0, 0, width, height), seen.y, seen.width, step.picture, width, 0) < 3);
        }
    }
    Q_UNUSED(ch);
    QCOMPARE(decoder.corruptPictures(), 0u);
    H264Encoder::instance().close();
}

void TstCodecs::refusesOtherSize()
{
    QVERIFY(H264Encoder::instance().init(320, 240, 10000000, 30, 60));
    QByteArray out;
    QCOMPARE(encode(pattern(640, 480, 0), 640, 480, out), -1);
    QVERIFY(encode(pattern(320, 240, 0), 320, 240, out) > 0);
    // A stream picture shorter than its size says is refused, not read past its end.
    std::vector<uint8_t> room(H264Encoder::kOutputBufferSize);
    const QByteArray shortPicture = pattern(320, 240, 1).left(320 * 240);
    QCOMPARE(H264Encoder::instance().encode(shortPicture, 320, 240, room.data()), -1);
    QVERIFY(H264Encoder::instance().encode(pattern(320, 240, 2), 320, 240, room.data()) > 0);
    H264Encoder::instance().close();
}

void TstCodecs::oversizedFrameDroppedAndKeyframeForced()
{
    QVERIFY(H264Encoder::instance().init(1920, 1080, 10000000, 30, 60));
    QByteArray out;
    QVERIFY(encode(pattern(1920, 1080, 0), 1920, 1080, out) > 0);
    QVERIFY(H264Encoder::instance().lastWasKeyframe());
    QVERIFY(encode(pattern(1920, 1080, 1), 1920, 1080, out) > 0);
    QVERIFY(!H264Encoder::instance().lastWasKeyframe());
    // Noise does not fit the 512000-byte buffer: dropped, and the decoder would lose a reference.
    QCOMPARE(encode(noise(1920, 1080, 7), 1920, 1080, out), -1);
    QVERIFY(encode(pattern(1920, 1080, 2), 1920, 1080, out) > 0);
    QVERIFY(H264Encoder::instance().lastWasKeyframe());
    QVERIFY(out.startsWith(QByteArray("\0\0\0\1\x67", 5)));
    QVERIFY(encode(pattern(1920, 1080, 3), 1920, 1080, out) > 0);
    QVERIFY(!H264Encoder::instance().lastWasKeyframe());
    H264Encoder::instance().close();
}

void TstCodecs::reinitReopensWithNewSize()
{
    QByteArray out;
    QVERIFY(H264Encoder::instance().init(320, 240, 10000000, 30, 60));
    QVERIFY(encode(pattern(320, 240, 0), 320, 240, out) > 0);
    QVERIFY(encode(pattern(320, 240, 1), 320, 240, out) > 0);
    QVERIFY(H264Encoder::instance().init(640, 480, 10000000, 30, 60));
    QCOMPARE(encode(pattern(320, 240, 2), 320, 240, out), -1);
    QVERIFY(encode(pattern(640, 480, 2), 640, 480, out) > 0);
    QVERIFY(H264Encoder::instance().lastWasKeyframe());
    Collector collector;
    KRH264Decoder decoder;
    QCOMPARE(decoder.Init(&collector), 0);
    QCOMPARE(decoder.DecodeFrame(reinterpret_cast<const uint8_t *>(out.constData()), out.size(), 0, 0), 0);
    QCOMPARE(collector.pictures.size(), 1);
    QCOMPARE(collector.pictures[0].width, 640);
    QCOMPARE(collector.pictures[0].height, 480);
    H264Encoder::instance().close();
}

void TstCodecs::otherPixelFormatsConverted_data()
{
    QTest::addColumn<QString>("pixelFormat");
    QTest::newRow("4:4:4") << "yuv444p";
    QTest::newRow("4:2:2") << "yuv422p";
    QTest::newRow("10-bit 4:2:0") << "yuv420p10le";
}

void TstCodecs::otherPixelFormatsConverted()
{
    QFETCH(QString, pixelFormat);
    QTemporaryDir dir;
    const QString file = dir.filePath("one.h264");
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-nostdin", "-loglevel", "error", "-f", "lavfi", "-i", "color=c=0x40a0c0:s=64x48",
                            "-frames:v", "1", "-c:v", "libx264", "-tune", "zerolatency", "-pix_fmt",
                            pixelFormat, "-f", "h264", file});
    QVERIFY(ffmpeg.waitForFinished(60000));
    if (ffmpeg.exitCode() != 0)
        QSKIP(qPrintable("ffmpeg cannot make " + pixelFormat + ": " + ffmpeg.readAllStandardError()));
    QFile in(file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray unit = in.readAll();
    Collector collector;
    KRH264Decoder decoder;
    QCOMPARE(decoder.Init(&collector), 0);
    QCOMPARE(decoder.DecodeFrame(reinterpret_cast<const uint8_t *>(unit.constData()), unit.size(), 0, 0), 0);
    QCOMPARE(collector.pictures.size(), 1);
    const Picture &p = collector.pictures[0];
    QCOMPARE(p.width, 64);
    QCOMPARE(p.height, 48);
    // 0x40a0c0 in BT.601 limited range: Y ~ 137, U ~ 160, V ~ 86.
    QVERIFY(std::abs(int(uint8_t(p.y[64 * 24 + 32])) - 137) < 8);
    QVERIFY(std::abs(int(uint8_t(p.u[32 * 12 + 16])) - 160) < 8);
    QVERIFY(std::abs(int(uint8_t(p.v[32 * 12 + 16])) - 86) < 8);
}

void TstCodecs::decoderRejectsGarbageAndClosedUse()
{
    Collector collector;
    KRH264Decoder decoder;
    const QByteArray garbage("\0\0\0\1\x65\xff\xff\xff\x00\x12", 10);
    QCOMPARE(
        decoder.DecodeFrame(reinterpret_cast<const uint8_t *>(garbage.constData()), garbage.size(), 0, 0),
        -1);
    QCOMPARE(decoder.Init(&collector), 0);
    QCOMPARE(decoder.DecodeFrame(nullptr, 0, 0, 0), -1);
    decoder.DecodeFrame(reinterpret_cast<const uint8_t *>(garbage.constData()), garbage.size(), 0, 0);
    QCOMPARE(collector.pictures.size(), 0);
    QCOMPARE(decoder.close(), 0);
    QCOMPARE(
        decoder.DecodeFrame(reinterpret_cast<const uint8_t *>(garbage.constData()), garbage.size(), 0, 0),
        -1);
}

void TstCodecs::opusRoundTrip()
{
    OpusCodec encoder, decoder;
    int16_t pcm[OpusCodec::kFrameSamples * 2];
    uint8_t packet[OpusCodec::kMaxPacketBytes];
    QVERIFY(encoder.encode(pcm, packet) < 0); // no encoder yet
    QVERIFY(encoder.createEncoder());
    QVERIFY(decoder.createDecoder());
    double inEnergy = 0, outEnergy = 0;
    for (int f = 0; f < 50; ++f) {
        for (int i = 0; i < OpusCodec::kFrameSamples; ++i) {
            const int16_t s = int16_t(8000 * std::sin(2 * M_PI * 440 * (f * 480 + i) / 48000.0));
            pcm[2 * i] = pcm[2 * i + 1] = s;
            if (f >= 10)
                inEnergy += double(s) * s;
        }
        const int bytes = encoder.encode(pcm, packet);
        QVERIFY(bytes > 0 && bytes <= OpusCodec::kMaxPacketBytes);
        int16_t out[OpusCodec::kMaxDecodeSamples * 2];
        QCOMPARE(decoder.decode(packet, bytes, out), OpusCodec::kFrameSamples);
        if (f >= 10)
            for (int i = 0; i < OpusCodec::kFrameSamples; ++i)
                outEnergy += double(out[2 * i]) * out[2 * i];
    }
    QVERIFY2(outEnergy > inEnergy * 0.5 && outEnergy < inEnergy * 2,
             qPrintable(QString::number(outEnergy / inEnergy)));
    encoder.destroyEncoder();
    QVERIFY(encoder.encode(pcm, packet) < 0);
}

void TstCodecs::opusPacketDurations()
{
    // Packets of other durations, as other senders make them (20 ms is libopus' default).
    int error = 0;
    OpusEncoder *raw = opus_encoder_create(48000, 2, OPUS_APPLICATION_AUDIO, &error);
    QVERIFY(raw);
    std::unique_ptr<OpusEncoder, void (*)(OpusEncoder *)> other(raw, opus_encoder_destroy);
    std::vector<int16_t> pcm(1920 * 2, 1000);
    uint8_t twenty[1500], forty[1500];
    const int twentyBytes = opus_encode(other.get(), pcm.data(), 960, twenty, sizeof twenty);
    const int fortyBytes = opus_encode(other.get(), pcm.data(), 1920, forty, sizeof forty);
    QVERIFY(twentyBytes > 0 && fortyBytes > 0);

    OpusCodec decoder;
    int16_t out[OpusCodec::kMaxPacketSamples * 2];
    QVERIFY(decoder.decode(twenty, twentyBytes, out) < 0); // no decoder yet
    QVERIFY(decoder.createDecoder());
    QCOMPARE(decoder.decode(twenty, twentyBytes, out), 960); // all 20 ms are kept
    QVERIFY(decoder.decode(forty, fortyBytes, out) < 0);     // does not fit the default room
    QCOMPARE(decoder.decode(forty, fortyBytes, out, OpusCodec::kMaxPacketSamples), 1920);
    const uint8_t bad[] = {0xfb, 0x00};
    QVERIFY(decoder.decode(bad, sizeof bad, out) < 0);
    QVERIFY(decoder.decode(twenty, 0, out) < 0);
}

QTEST_GUILESS_MAIN(TstCodecs)
#include "tst_codecs.moc"
