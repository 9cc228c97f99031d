// A growable array of plain values, for the toolkit's lists of partners and views.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

template <typename T>
class TArray {
public:
    std::size_t Count() const { return m_items.size(); }
    T& operator[](std::size_t i) { return m_items[i]; }
    const T& operator[](std::size_t i) const { return m_items[i]; }
    void Add(const T& item) { m_items.push_back(item); }
    bool Contains(const T& item) const { return std::find(m_items.begin(), m_items.end(), item) != m_items.end(); }
    // Removes every occurrence; the order of the others is kept.
    void Remove(const T& item) { m_items.erase(std::remove(m_items.begin(), m_items.end(), item), m_items.end()); }
    void Clear() { m_items.clear(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    std::vector<T> m_items;
};
