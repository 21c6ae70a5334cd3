#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

/// A linear byte FIFO of fixed capacity between the audio capture's producer tick and its reader.
/// Drop policy: a write that does not fit keeps what fits and drops the rest (the newest sound);
/// the writer never waits. Thread-safe.
class PcmByteFifo
{
public:
    explicit PcmByteFifo(size_t capacity);

    /// Returns the bytes taken.
    size_t write(const uint8_t *data, size_t len);
    /// Copies exactly `len` bytes when that many are buffered and returns true; otherwise false
    /// and nothing is consumed.
    bool readExact(uint8_t *out, size_t len);
    size_t available() const;
    size_t capacity() const { return m_capacity; }

private:
    void compact(); // m_lock held

    mutable std::mutex m_lock;
    const size_t m_capacity;
    std::vector<uint8_t> m_bytes;
    size_t m_readPos = 0;
    size_t m_writePos = 0;
};
