#include "kit/background_work.h"

BackgroundWork::~BackgroundWork() {
    const std::lock_guard lock(link_->mutex);
    link_->receiver = nullptr;
}
