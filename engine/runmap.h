#pragma once
// An interval map over [0, length): runs of equal integer values, adjacent
// runs always different. Lookup is a binary search; changing a stretch costs
// the runs it touches plus moving the runs after it, which is nothing at the
// end of the map where a document grows.

#include <algorithm>
#include <cassert>
#include <vector>

namespace brevix::engine {

class RunMap {
public:
    struct Run {
        int start;
        int end;
        int value;
    };

    void reset(int length, int value)
    {
        starts_.assign(1, 0);
        values_.assign(1, value);
        length_ = length;
    }

    int length() const { return length_; }
    int runCount() const { return static_cast<int>(starts_.size()); }
    Run run(int i) const
    {
        const auto k = static_cast<std::size_t>(i);
        return {starts_[k], k + 1 < starts_.size() ? starts_[k + 1] : length_, values_[k]};
    }

    // The run holding position (the last run for position == length()).
    int runIndexAt(int position) const
    {
        auto it = std::upper_bound(starts_.begin(), starts_.end(), position);
        return static_cast<int>(it - starts_.begin()) - 1;
    }
    int valueAt(int position) const { return values_[static_cast<std::size_t>(runIndexAt(position))]; }

    // Opens count new positions at position, all with value.
    void insert(int position, int count, int value)
    {
        assert(position >= 0 && position <= length_ && count >= 0);
        if (count == 0)
            return;
        if (length_ == 0) {
            reset(count, value);
            return;
        }
        int r = runIndexAt(position);
        auto k = static_cast<std::size_t>(r);
        if (values_[k] == value) {
            shiftFrom(k + 1, count);
        } else if (starts_[k] == position && k > 0 && values_[k - 1] == value) {
            shiftFrom(k, count);
        } else if (starts_[k] == position) {
            starts_.insert(starts_.begin() + r, position);
            values_.insert(values_.begin() + r, value);
            shiftFrom(k + 1, count);
        } else if (position == length_) {
            // After the last position: a new run at the end, unless the next
            // run already has the value (there is none).
            starts_.push_back(position);
            values_.push_back(value);
        } else {
            const int old = values_[k];
            starts_.insert(starts_.begin() + r + 1, {position, position});
            values_.insert(values_.begin() + r + 1, {value, old});
            shiftFrom(k + 2, count);
        }
        length_ += count;
    }

    // Replaces each value v in [from, to) by change(v); returns whether anything changed.
    template <class Change> bool transform(int from, int to, Change&& change)
    {
        from = std::max(from, 0);
        to = std::min(to, length_);
        if (from >= to)
            return false;
        int first = splitAt(from);
        int last = to < length_ ? splitAt(to) : runCount(); // runs [first, last) lie inside
        bool changed = false;
        for (int i = first; i < last; ++i) {
            auto k = static_cast<std::size_t>(i);
            const int v = change(values_[k]);
            if (v != values_[k]) {
                values_[k] = v;
                changed = true;
            }
        }
        mergeAround(std::max(first - 1, 0), std::min(last + 1, runCount()));
        return changed;
    }

    void assign(int from, int to, int value)
    {
        transform(from, to, [value](int) { return value; });
    }

private:
    void shiftFrom(std::size_t k, int count)
    {
        for (; k < starts_.size(); ++k)
            starts_[k] += count;
    }

    // Makes position the start of a run; returns that run's index.
    int splitAt(int position)
    {
        int r = runIndexAt(position);
        auto k = static_cast<std::size_t>(r);
        if (starts_[k] == position)
            return r;
        starts_.insert(starts_.begin() + r + 1, position);
        values_.insert(values_.begin() + r + 1, values_[k]);
        return r + 1;
    }

    // Joins equal neighbours among runs [from, to).
    void mergeAround(int from, int to)
    {
        auto out = static_cast<std::size_t>(from);
        for (auto k = static_cast<std::size_t>(from) + 1; k < static_cast<std::size_t>(to); ++k) {
            if (values_[k] == values_[out])
                continue;
            ++out;
            starts_[out] = starts_[k];
            values_[out] = values_[k];
        }
        const auto gapFrom = out + 1, gapTo = static_cast<std::size_t>(to);
        if (gapFrom < gapTo) {
            starts_.erase(starts_.begin() + static_cast<long>(gapFrom), starts_.begin() + static_cast<long>(gapTo));
            values_.erase(values_.begin() + static_cast<long>(gapFrom), values_.begin() + static_cast<long>(gapTo));
        }
    }

    std::vector<int> starts_{0};
    std::vector<int> values_{0};
    int length_ = 0;
};

} // namespace brevix::engine
