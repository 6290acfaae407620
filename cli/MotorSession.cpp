#include "MotorSession.h"

namespace qav::cli {

MotorSession::MotorSession(MotorParams& params, IMotorEvents& events) : link_(params, events)
{
    link_.SetTransport(this);
}

} // namespace qav::cli
