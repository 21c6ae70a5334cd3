// Fuzz target: one reverse-input message from the connected receiver, injected through the
// recording injector into a two-screen layout. Every input gets a fresh input object: peer state
// left by one input (touch contacts, positions) must not refuse the next one's, or coverage
// narrows to the refusal paths.
#include "lyn/input/QnLynInput.h"
#include "platform/xtest/QnFakeInputInjector.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

struct Harness
{
    QnFakeInputInjector *fake = nullptr;
    std::unique_ptr<QnLynInput> input;

    Harness()
    {
        auto injector = std::make_unique<QnFakeInputInjector>();
        fake = injector.get();
        input = std::make_unique<QnLynInput>(std::move(injector));
        input->setScreen(1, {{QRect(0, 0, 1920, 1080), 1.0}, {QRect(1920, 0, 1280, 720), 1.5}});
        input->setConnectedReceiver(QStringLiteral("rx"));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Harness harness;
    harness.input->recvData(QStringLiteral("rx"),
                            QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)));
    harness.fake->takeLog();
    return 0;
}
