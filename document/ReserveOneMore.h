#pragma once

#include <algorithm>
#include <vector>

// Makes sure the next push_back allocates nothing, growing the way push_back
// would, by doubling: reserve(size() + 1) would grow a slot at a time, and
// each read would copy the whole vector.
template <typename T> void reserveOneMore(std::vector<T> &vector)
{
    if (vector.size() == vector.capacity())
        vector.reserve(std::max<std::size_t>(16, 2 * vector.capacity()));
}
