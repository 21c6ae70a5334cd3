#pragma once
// Splits a fuzz input into datagrams: [time step ms: u8][length: u16 BE][bytes], repeated.

#include <cstddef>
#include <cstdint>

template<typename Fn> void forEachDatagram(const uint8_t *data, size_t size, Fn fn)
{
    size_t pos = 0;
    int64_t now = 0;
    while (size - pos >= 3) {
        now += data[pos];
        const size_t length = (size_t(data[pos + 1]) << 8) | data[pos + 2];
        pos += 3;
        if (length > size - pos)
            return;
        fn(data + pos, int(length), now);
        pos += length;
    }
}
