#include "QnScreenShare/audio/PcmByteFifo.h"

#include <algorithm>
#include <cstring>

PcmByteFifo::PcmByteFifo(size_t capacity) : m_capacity(capacity), m_bytes(capacity, 0) {}

size_t PcmByteFifo::write(const uint8_t *data, size_t len)
{
    std::lock_guard<std::mutex> g(m_lock);
    const size_t n = data ? std::min(len, m_capacity - m_writePos) : 0;
    if (n)
        std::memcpy(m_bytes.data() + m_writePos, data, n);
    m_writePos += n;
    compact();
    return n;
}

bool PcmByteFifo::readExact(uint8_t *out, size_t len)
{
    std::lock_guard<std::mutex> g(m_lock);
    if (!out || len > m_writePos - m_readPos)
        return false;
    if (len)
        std::memcpy(out, m_bytes.data() + m_readPos, len);
    m_readPos += len;
    if (m_readPos == m_writePos)
        m_readPos = m_writePos = 0;
    compact();
    return true;
}

size_t PcmByteFifo::available() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_writePos - m_readPos;
}

void PcmByteFifo::compact()
{
    if (m_readPos == 0 || m_writePos == 0)
        return;
    const size_t unread = m_writePos - m_readPos;
    std::memmove(m_bytes.data(), m_bytes.data() + m_readPos, unread);
    std::fill(m_bytes.begin() + std::ptrdiff_t(unread), m_bytes.end(), 0);
    m_writePos = unread;
    m_readPos = 0;
}
