#include "balloon/SerifuQueue.h"

namespace balloon {

SerifuQueueType& SerifuQueue() {
    static SerifuQueueType queue;
    return queue;
}

} // namespace balloon
