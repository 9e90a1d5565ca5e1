#pragma once

#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <optional>
#include <vector>

// Items that fall due each at a time of its own, the earliest first; items due at the same
// instant leave in the order they came. A binary heap: a push or a take costs log n, however
// many wait.
template <typename T> class DeadlineQueue
{
public:
    using Clock = std::chrono::steady_clock;

    void push(Clock::time_point due, T item)
    {
        m_heap.push_back(Entry{due, m_pushed++, std::move(item)});
        std::push_heap(m_heap.begin(), m_heap.end(), later);
    }
    bool isEmpty() const { return m_heap.empty(); }
    qsizetype size() const { return qsizetype(m_heap.size()); }
    // When the earliest item falls due; only while the queue is not empty.
    Clock::time_point nextDue() const { return m_heap.front().due; }
    // The earliest item, if it is due by `now`.
    std::optional<T> takeDue(Clock::time_point now)
    {
        if (m_heap.empty() || m_heap.front().due > now)
            return std::nullopt;
        std::pop_heap(m_heap.begin(), m_heap.end(), later);
        std::optional<T> item(std::move(m_heap.back().item));
        m_heap.pop_back();
        // The room a burst took goes back once it has passed.
        if (m_heap.empty() && m_heap.capacity() > 1024)
            m_heap = {};
        return item;
    }
    void clear() { m_heap = {}; }

private:
    struct Entry
    {
        Clock::time_point due;
        quint64 order;
        T item;
    };
    // The heap keeps the entry that no other is later than on top.
    static bool later(const Entry &a, const Entry &b)
    {
        return a.due != b.due ? a.due > b.due : a.order > b.order;
    }

    std::vector<Entry> m_heap;
    quint64 m_pushed = 0;
};
