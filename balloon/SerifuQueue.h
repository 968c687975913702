#pragma once
// The lines waiting to be spoken. It exists from program start, before any window, so that every
// part can speak at any time; writers append, only the balloon takes from the front.
#include <deque>
#include <optional>
#include <string>

namespace balloon {

class SerifuQueueType {
public:
    void add(std::string line) { lines_.push_back(std::move(line)); }
    bool empty() const { return lines_.empty(); }
    size_t count() const { return lines_.size(); }
    std::optional<std::string> takeFirst() {
        if (lines_.empty()) {
            return std::nullopt;
        }
        std::string s = std::move(lines_.front());
        lines_.pop_front();
        return s;
    }
    void clear() { lines_.clear(); }

private:
    std::deque<std::string> lines_;
};

SerifuQueueType& SerifuQueue();

} // namespace balloon
