#include "core/describe/queue_line.h"

std::string QueueLine(const std::optional<SocketNow>& now) {
    if (!now || !now->queue) return {};
    return "Waiting to be accepted: " + std::to_string(now->queue->waiting) + " of at most " +
           std::to_string(now->queue->limit);
}
