#include "platform/TickSource.h"

#include <chrono>

TickSource::~TickSource() = default;

quint32 SystemTickSource::tickCount() const
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return quint32(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}
