#pragma once
// The one way a user's edit reaches the parameter image. apply() writes the
// edit's entries, marks its chunk for the send scheduler and tells every
// feature what changed through edited(); the features redraw what shows those
// entries from the image. Nothing else writes a user edit into the image:
// showing the image (after a read-all, a preset or a group load) only sets
// controls, with their signals blocked.

#include "model/parameter_edit.h"

#include <QObject>

namespace talvex {

struct ParameterModel;

class ParameterEditor : public QObject {
    Q_OBJECT
public:
    // Where an applied edit comes from: the user's hand, or a step taken back
    // or done again (an undo history replays with the same call).
    enum class Origin { User, Replay };
    Q_ENUM(Origin)

    explicit ParameterEditor(ParameterModel& model, QObject* parent = nullptr);

    ParameterModel& model() { return model_; }
    const ParameterModel& model() const { return model_; }

    // Writes, marks and announces the edit; returns it with each entry's value
    // before. An edit whose entries lie outside the image or span two chunks
    // changes nothing and is not announced.
    ParameterEdit apply(ParameterEdit edit, Origin origin = Origin::User);

signals:
    void edited(const talvex::ParameterEdit& edit, talvex::ParameterEditor::Origin origin);

private:
    ParameterModel& model_;
};

} // namespace talvex
