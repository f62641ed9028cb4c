#pragma once
// The one record that says what the keyboard and the mouse wheel edit at this
// moment, with the binding operations and the wheel dispatcher. Plain C++: the
// strip, the equaliser page and the graph keep their widgets; this record names
// them (target box, wheel target) and the wheel hands the stepped code to the
// apply operation registered under "<wheel target>Change", which makes the edit.
// The record never writes the image itself.

#include <functional>
#include <map>
#include <string>

namespace talvex {

struct ParameterModel;

class EditingContext {
public:
    // The five kinds of equaliser-page edit box.
    enum class BoxKind { HpfFrequency, LpfFrequency, BandFrequency, BandGain, BandQ };

    // The page channel is the model's (it travels with the image: the defaults
    // and every showing of the image set it to Main).
    int bandNumber = 0;
    std::string targetBox;  // objectName of the box (or band type combo) the apply operations rewrite
    int targetField = -1;   // image entry being edited (low entry of a 16-bit code); -1 none yet
    int targetRecord = -1;  // first entry of the band record (band edits only)
    int targetChunk = -1;   // chunk an edit marks; -1 none yet
    std::string wheelTarget;
    int wheelMin = 0;
    int wheelMax = 0;
    bool wheelActive = false;

    // Box binding of an equaliser-page box: band (0..9, ignored for the two
    // crossover boxes) on page channel `channel`; `boxName` is the box's objectName.
    void bindBox(BoxKind kind, int band, int channel, const std::string& boxName);
    // A click on a track bar binds the wheel to it (range unused).
    void bindTrackBar(const std::string& trackBarName);
    // A bound box or track bar lost the focus: only the three wheel fields change.
    void unbind();
    // Binds the wheel with its range (published as Set_OpenMouseWheel).
    void openWheel(int minimum, int maximum);
    // Start values (window creation, disconnect, watchdog).
    void reset();

    // Apply operations, called by name ("edt_eq_gainChange", ...) with the
    // stepped code. A name with no operation does nothing.
    using Apply = std::function<void(int code)>;
    void setApply(const std::string& name, Apply apply) { apply_[name] = std::move(apply); }
    bool callApply(const std::string& name, int code) const;
    // Steps a track bar named by the wheel target by +1 or -1 through its own
    // change path (the widget clamps to its range).
    void setTrackBarStepper(std::function<void(const std::string& name, int step)> stepper)
    {
        stepTrackBar_ = std::move(stepper);
    }

    // One wheel event (published as FormMouseWheel); `delta` > 0 is a turn away
    // from the user. Returns true when the event is handled, false when the
    // focused control should get it.
    bool wheelTurned(int delta, const ParameterModel& model);

private:
    std::map<std::string, Apply> apply_;
    std::function<void(const std::string&, int)> stepTrackBar_;
};

// Range of wheel stepping and wheel target name of each box kind.
int highestCode(EditingContext::BoxKind kind);
const char* wheelTargetName(EditingContext::BoxKind kind);

} // namespace talvex
