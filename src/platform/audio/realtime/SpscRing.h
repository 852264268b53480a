#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <memory>
#include <type_traits>

// Lock-free ring buffer for one producer thread and one consumer thread.
// The storage is allocated once in the constructor; push and pop never
// allocate, lock or wait, so the producer may be an audio callback.
//
// The read and write counters only grow; their difference is the fill level
// and the position in the storage is the counter modulo the capacity.
template <typename T>
class SpscRing {
    static_assert(std::is_trivially_copyable<T>::value, "ring elements are copied as plain values");

public:
    explicit SpscRing(std::size_t capacity)
        : capacity_(std::max<std::size_t>(1, capacity)), data_(new T[capacity_])
    {
    }
    SpscRing(const SpscRing &) = delete;
    SpscRing &operator=(const SpscRing &) = delete;

    std::size_t capacity() const { return capacity_; }

    // Elements waiting to be read (exact for the consumer, a lower bound for
    // the producer's view of free space).
    std::size_t size() const
    {
        return std::size_t(write_.load(std::memory_order_acquire) - read_.load(std::memory_order_acquire));
    }
    bool empty() const { return size() == 0; }

    // Producer: appends up to n elements; returns how many fitted.
    std::size_t push(const T *items, std::size_t n)
    {
        const std::size_t w = write_.load(std::memory_order_relaxed);
        const std::size_t r = read_.load(std::memory_order_acquire);
        const std::size_t room = capacity_ - (w - r);
        n = std::min(n, room);
        copyIn(w, items, n);
        write_.store(w + n, std::memory_order_release);
        return n;
    }
    bool push(const T &item) { return push(&item, 1) == 1; }

    // Consumer: takes up to n elements; returns how many were taken.
    std::size_t pop(T *items, std::size_t n)
    {
        const std::size_t r = read_.load(std::memory_order_relaxed);
        const std::size_t w = write_.load(std::memory_order_acquire);
        n = std::min(n, w - r);
        copyOut(r, items, n);
        read_.store(r + n, std::memory_order_release);
        return n;
    }
    bool pop(T &item) { return pop(&item, 1) == 1; }

    // Consumer: drops everything that is waiting.
    void clear() { read_.store(write_.load(std::memory_order_acquire), std::memory_order_release); }

private:
    void copyIn(std::size_t at, const T *items, std::size_t n)
    {
        const std::size_t start = at % capacity_;
        const std::size_t first = std::min(n, capacity_ - start);
        std::copy(items, items + first, data_.get() + start);
        std::copy(items + first, items + n, data_.get());
    }
    void copyOut(std::size_t at, T *items, std::size_t n) const
    {
        const std::size_t start = at % capacity_;
        const std::size_t first = std::min(n, capacity_ - start);
        std::copy(data_.get() + start, data_.get() + start + first, items);
        std::copy(data_.get(), data_.get() + (n - first), items + first);
    }

    const std::size_t capacity_;
    std::unique_ptr<T[]> data_;
    // Each counter on its own cache line so the two threads do not share one.
    alignas(64) std::atomic<std::size_t> write_{0};
    alignas(64) std::atomic<std::size_t> read_{0};
};
