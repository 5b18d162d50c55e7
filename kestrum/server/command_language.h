// The controller's command language, read once for every server: the commands, their
// arguments and the checks a controller makes before it asks its model.
#pragma once

#include <string_view>

#include "kestrum/server/controller_model.h"

namespace kestrum::server {

Outcome AnswerCommand(ControllerModel& model, std::string_view command, Clock::time_point now);

}  // namespace kestrum::server
