#pragma once
// What the preset and group-file features are given: the model, the session's
// channel to the device (frames, send pulse and watchdog, progress panel,
// pauses), the clock their own timers run on, the prompts and file dialogs, and
// the window's pop-ups.

#include "model/parameter_model.h"
#include "session/clock.h"
#include "session/device_channel.h"

#include <functional>

namespace talvex {

class FileDialogs;
class Prompts;

struct PresetsContext {
    ParameterModel* model = nullptr;
    DeviceChannel* channel = nullptr;
    Clock* clock = nullptr;
    Prompts* prompts = nullptr;
    FileDialogs* dialogs = nullptr;
    std::function<void()> hidePopups; // gain, delay and limiter pop-ups
};

} // namespace talvex
