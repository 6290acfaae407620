#include "ControllerSession.h"

namespace qav::cli {

ControllerSession::ControllerSession(ControllerParams& params, IControllerEvents& events)
    : link_(params, events)
{
    link_.SetTransport(this);
    link_.SetReconnectCommand(kCmdNone);
}

} // namespace qav::cli
