#pragma once
// What the window composes its features around, built before it: the parameter
// image, the one edit path, the editing context and the session with the
// amplifier. The application builds one and hands it to its window; the tests
// build one the same way and reach the parts directly.

#include "editing/editing_context.h"
#include "editing/parameter_editor.h"
#include "model/parameter_model.h"
#include "session/session.h"

namespace talvex {

struct EditorCore {
    explicit EditorCore(const Session::Platform& platform)
        : clock(platform.clock ? *platform.clock : Clock::eventLoop()), session(model, platform)
    {
    }
    EditorCore(const EditorCore&) = delete;
    EditorCore& operator=(const EditorCore&) = delete;

    Clock& clock; // the session's and the features' timers run on it
    ParameterModel model;
    ParameterEditor editor{model};
    EditingContext editing;
    Session session;
};

} // namespace talvex
