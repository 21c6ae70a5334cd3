// Upload answers as a receiver may send them, against the generated names of a two-file upload.
#include "lyn/upload/QnLynUploadAnswer.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QHash<QString, QString> names{
        {QStringLiteral("0b6a2b8e-1d7f-4c1e-9a55-3f0e8f2b7c11.png"), QStringLiteral("/tmp/a.png")},
        {QStringLiteral("5d1c9e0a-8b44-4f6d-a2c3-7e9b1f0d2a66."), QStringLiteral("/tmp/b")}};
    const QnLynUploadAnswer answer =
        parseUploadAnswer(QByteArray(reinterpret_cast<const char *>(data), int(size)), names);
    if (!answer.accepted && !answer.stored.isEmpty())
        __builtin_trap(); // nothing is reported stored from a refused answer
    return 0;
}
