#pragma once
// Where a link engine's frames go: the owner's open port, or a fake in tests.
#include "protocol/Frame.h"

namespace qav {

// Write is only called while IsOpen() holds; the engines do not look at its
// result.
class IFrameTransport
{
public:
    virtual ~IFrameTransport() = default;
    virtual bool IsOpen() const = 0;
    virtual void WriteFrame(const Frame& frame) = 0;
};

} // namespace qav
