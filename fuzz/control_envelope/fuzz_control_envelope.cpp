// Control envelope parsers and the handler of the peer's requests, fed arbitrary bytes.
#include "lyn/control/QnLynControlEnvelope.h"
#include "lyn/control/QnLynHttp.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>

namespace {
QnLynHttp *handler()
{
    static int argc = 1;
    static char name[] = "fuzz_control_envelope";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static QTemporaryDir dir;
    static std::unique_ptr<QnLynHttp> http;
    if (!http) {
        http = std::make_unique<QnLynHttp>(dir.filePath("setting.ini"));
        http->setPeerGraceMs(1);
        // No save folder: file lists are refused, so nothing is written while fuzzing.
    }
    return http.get();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    QnLynControl::parseAnswer(input);
    QnLynControl::parseAnswerHead(input);
    const QnLynControl::Request request = QnLynControl::parseRequest(input);
    QnLynControl::isSafePeerId(request.userId);
    QnLynControl::isSafeFileName(request.data.value(QLatin1String("url")).toString());
    handler()->handleData(input);
    return 0;
}
