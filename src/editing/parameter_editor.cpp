#include "editing/parameter_editor.h"

#include "model/parameter_model.h"

namespace talvex {

ParameterEditor::ParameterEditor(ParameterModel& model, QObject* parent) : QObject(parent), model_(model)
{
    setObjectName(QStringLiteral("parameterEditor"));
}

ParameterEdit ParameterEditor::apply(ParameterEdit edit, Origin origin)
{
    if (edit.applyTo(model_))
        emit edited(edit, origin);
    return edit;
}

} // namespace talvex
