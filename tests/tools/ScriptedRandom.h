#pragma once
// A random source for the generator's tests that plays back exact values, so a test names the
// integer each draw yields.

#include "tools/RandomSource.h"
#include "tools/SystemRandomSource.h"

#include <QString>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <stdexcept>

namespace keskor::test {

class ScriptedRandom : public RandomSource {
public:
    /// The 64-bit value whose unbiased draw in [0, n) yields k (the middle of k's band, so it
    /// is never rejected).
    static std::uint64_t valueFor(std::uint64_t k, std::uint64_t n) {
        return static_cast<std::uint64_t>((static_cast<unsigned __int128>(2 * k + 1) << 63) / n);
    }
    /// Queues draws: each pair is (result, bound).
    void draw(std::uint64_t k, std::uint64_t n) { m_values.push_back(valueFor(k, n)); }
    void draws(std::uint64_t n, std::initializer_list<std::uint64_t> results) {
        for (const auto k : results) {
            draw(k, n);
        }
    }
    void raw(std::uint64_t value) { m_values.push_back(value); }
    std::size_t remaining() const { return m_values.size(); }
    int consumed() const { return m_consumed; }

    std::uint64_t next64() override {
        if (m_values.empty()) {
            // Thrown, not returned: a made-up value could be rejected forever.
            throw std::runtime_error("random script exhausted");
        }
        const auto v = m_values.front();
        m_values.pop_front();
        ++m_consumed;
        return v;
    }

private:
    std::deque<std::uint64_t> m_values;
    int m_consumed = 0;
};

/// Marks every key visibly, so a test sees which key went where.
inline QString markedKey(const QString& key) {
    return QLatin1Char('<') + key + QLatin1Char('>');
}

} // namespace keskor::test
