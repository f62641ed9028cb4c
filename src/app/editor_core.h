#pragma once
// What the window composes its features around, built before it: the parameter
// image, the one edit path, the editing context and the session with the
// amplifier. The application builds one and hands it to its window; the tests
// build one the same way and reach the parts directly.

#include "editing/editing_context.h"
#include "editing/parameter_editor.h"
#include "model/parameter_model.h"
#include "session/session.h"
#include "ui/qt_event_pump.h"

namespace talvex {

struct EditorCore {
    // The session's platform; its pump is the core's own.
    explicit EditorCore(Session::Platform platform) : session(model, withPump(std::move(platform), pump)) {}
    EditorCore(const EditorCore&) = delete;
    EditorCore& operator=(const EditorCore&) = delete;

    ParameterModel model;
    ParameterEditor editor{model};
    EditingContext editing;
    QtEventPump pump;
    Session session;

private:
    static Session::Platform withPump(Session::Platform platform, EventPump& pump)
    {
        platform.pump = &pump;
        return platform;
    }
};

} // namespace talvex
