#pragma once
// The one record that says what the keyboard and the mouse wheel edit at this
// moment. Plain C++: the strip, the equaliser page and the graph keep their
// widgets; this record holds the entry they designate and the wheel binding,
// which says what one notch of the wheel does. The record never writes the
// image itself: a binding's notch makes its edit through the edit path.

#include <functional>

namespace talvex {

class EditingContext {
public:
    // The five kinds of equaliser-page edit box.
    enum class BoxKind { HpfFrequency, LpfFrequency, BandFrequency, BandGain, BandQ };

    // What a notch of the wheel does while a box or a track bar is bound.
    struct WheelBinding {
        const void* control = nullptr; // the bound control, for identity only
        int entry = -1;                // the image entry it edits
        // Called once per notch with +1 (a turn away from the user) or -1.
        std::function<void(int direction)> notch;
    };

    // The page channel is the model's (it travels with the image: the defaults
    // and every showing of the image set it to Main).
    int bandNumber = 0;
    int targetField = -1;  // image entry being edited (low entry of a 16-bit code); -1 none yet
    int targetRecord = -1; // first entry of the band record (band edits only)

    // Designates the entry of an equaliser-page box: band (0..9, ignored for
    // the two crossover boxes) on page channel `channel`. Returns the entry.
    int designateBox(BoxKind kind, int band, int channel);
    // Binds the wheel; a binding without a notch unbinds it.
    void bindWheel(WheelBinding binding) { wheel_ = std::move(binding); }
    // A bound box or track bar lost the focus: only the wheel binding goes.
    void unbind() { wheel_ = {}; }
    // Start values (window creation, disconnect, watchdog).
    void reset() { unbind(); }

    bool wheelBound() const { return bool(wheel_.notch); }
    const void* wheelControl() const { return wheel_.notch ? wheel_.control : nullptr; }
    int wheelEntry() const { return wheel_.notch ? wheel_.entry : -1; }

    // One notch; `delta` > 0 is a turn away from the user. Returns true when
    // the wheel is bound (the turn is handled), false when the focused control
    // should get it.
    bool wheelTurned(int delta);

private:
    WheelBinding wheel_;
};

// Highest code of each box kind's table: the wheel and the arrow keys stop there.
int highestCode(EditingContext::BoxKind kind);
// One step of a code from `code` toward `direction`, first brought into 0..highest.
int steppedCode(int code, int direction, int highest);

} // namespace talvex
