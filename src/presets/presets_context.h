#pragma once
// What the preset and group-file features need from the window: the model and
// the codec, the prompts and file dialogs, the session's send pulse and
// watchdog (which they stop and start around their transfers), the progress
// panel, the pop-ups and the deferred call that stands for a pause.

#include "link/command_sender.h"
#include "link/link_state.h"
#include "model/parameter_model.h"
#include "session/link_supervision.h"

#include <functional>

namespace talvex {

class FileDialogs;
class Prompts;

struct PresetsContext {
    ParameterModel* model = nullptr;
    CommandSender* sender = nullptr;
    const LinkState* link = nullptr;
    Prompts* prompts = nullptr;
    FileDialogs* dialogs = nullptr;
    LinkSupervision* supervision = nullptr; // the send pulse and the watchdog
    std::function<void()> hidePopups; // gain, delay and limiter pop-ups
    // Shows the progress panel with the bar at 0 %; `animate` also starts the
    // progress timer with its counter at 0 (a ten-second animation).
    std::function<void(bool animate)> showProgress;
    std::function<void()> hideProgress; // hides the panel, stops the progress timer
    std::function<void(int percent)> setProgressBar;
    // Runs `then` once `ms` have passed, the window handling events meanwhile
    // (a single-shot timer). What a pause ends checks the link epoch first.
    std::function<void(int ms, std::function<void()> then)> after;
};

} // namespace talvex
