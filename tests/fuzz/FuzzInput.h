#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// Takes typed values and texts off the front of a fuzzer's input.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    template <typename T>
    T take() {
        T value{};
        const std::size_t n = std::min(sizeof(T), m_size);
        std::memcpy(&value, m_data, n);
        m_data += n;
        m_size -= n;
        return value;
    }
    // UTF-16 code units, any of them (lone surrogates included), up to `maxUnits`.
    QString utf16(std::size_t maxUnits) {
        const std::size_t units = std::min(maxUnits, m_size / 2);
        QString text(static_cast<qsizetype>(units), Qt::Uninitialized);
        std::memcpy(text.data(), m_data, units * 2);
        m_data += units * 2;
        m_size -= units * 2;
        return text;
    }
    QByteArray bytes(std::size_t max) {
        const std::size_t n = std::min(max, m_size);
        QByteArray out(reinterpret_cast<const char*>(m_data), static_cast<qsizetype>(n));
        m_data += n;
        m_size -= n;
        return out;
    }
    QByteArray rest() { return bytes(m_size); }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};

// A broken invariant: stop with a message the fuzzer records.
#define FUZZ_CHECK(condition)                                                                                   \
    do {                                                                                                        \
        if (!(condition)) {                                                                                     \
            std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);           \
            std::abort();                                                                                       \
        }                                                                                                       \
    } while (0)
