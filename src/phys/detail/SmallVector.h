#pragma once

#include <cstddef>
#include <vector>

// A vector that keeps its first N elements inside the object: the per-pair records read
// after every step are then one memory block in the common case of a few elements.

namespace phys::detail {

template <class T, size_t N>
class SmallVector {
public:
    size_t size() const { return count; }
    bool empty() const { return count == 0; }
    T* begin() { return data(); }
    T* end() { return data() + count; }
    const T* begin() const { return data(); }
    const T* end() const { return data() + count; }
    T& operator[](size_t i) { return data()[i]; }
    const T& operator[](size_t i) const { return data()[i]; }

    void clear() {
        count = 0;
        heap.clear();
    }
    void assign(size_t n, const T& value) {
        clear();
        if (n > N)
            heap.assign(n, value);
        else
            for (size_t i = 0; i < n; ++i)
                local[i] = value;
        count = n;
    }
    void push_back(const T& value) {
        if (count < N) {
            local[count++] = value;
            return;
        }
        if (count == N)
            heap.assign(local, local + N);
        heap.push_back(value);
        ++count;
    }
    void erase(size_t index) {
        for (size_t i = index; i + 1 < count; ++i)
            (*this)[i] = (*this)[i + 1];
        --count;
        if (count == N) {
            for (size_t i = 0; i < N; ++i)
                local[i] = heap[i];
            heap.clear();
        } else if (count > N) {
            heap.pop_back();
        }
    }

private:
    T* data() { return count > N ? heap.data() : local; }
    const T* data() const { return count > N ? heap.data() : local; }

    T local[N] = {};
    std::vector<T> heap;
    size_t count = 0;
};

} // namespace phys::detail
