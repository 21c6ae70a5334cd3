// Feeds arbitrary bytes to the overlay's received-batch path: parsing as qnboard::Actions, then
// drawing, deleting, clearing, undoing and resetting on one long-lived board.
#include "QnBrush/src/QnBrushObject.h"
#include "platform/scene/QnGraphicsScene.h"
#include "platform/scene/QnGraphicsView.h"

#include <QApplication>
#include <QByteArray>
#include <QUndoStack>

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace {
QnBrushObject &board()
{
    static int argc = 1;
    static char name[] = "fuzz_qnboard_actions";
    static char *argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    // A long period: the board sends nothing while fuzzed.
    static QnBrushObject object(nullptr, std::chrono::hours(1));
    return object;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QnBrushObject &target = board();
    target.receiveData(QByteArray(reinterpret_cast<const char *>(data), static_cast<int>(size)));
    // Each input starts from an empty board with no history.
    if (QnGraphicsView *view = target.view()) {
        view->qnScene()->clearScene(true);
        view->qnScene()->undoStack()->clear();
    }
    return 0;
}
