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
    explicit EditorCore(const Session::Platform& platform) : session(model, platform) {}
    EditorCore(const EditorCore&) = delete;
    EditorCore& operator=(const EditorCore&) = delete;

    ParameterModel model;
    ParameterEditor editor{model};
    EditingContext editing;
    Session session;
};

} // namespace talvex
