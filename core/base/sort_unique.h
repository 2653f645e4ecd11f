#pragma once

#include <algorithm>
#include <vector>

// Puts the values in order and drops the repeats.
template <class T>
void SortUnique(std::vector<T>& values) {
    std::ranges::sort(values);
    values.erase(std::unique(values.begin(), values.end()), values.end());
}
