#pragma once
// The lines waiting to be spoken. It exists from program start, before any window, so that every
// part can speak at any time; writers append, only the balloon takes from the front.
#include <deque>
#include <functional>
#include <optional>
#include <string>

namespace balloon {

class SerifuQueueType {
public:
    void add(std::string line) {
        lines_.push_back(std::move(line));
        if (onAdd_) {
            onAdd_();
        }
    }
    // Told of every line added: the balloon's timer sleeps while there is nothing to say.
    void setOnAdd(std::function<void()> onAdd) { onAdd_ = std::move(onAdd); }
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
    std::function<void()> onAdd_;
};

SerifuQueueType& SerifuQueue();

} // namespace balloon
