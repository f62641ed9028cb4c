#include "editing/editing_context.h"

#include "model/parameter_model.h"

#include <algorithm>

namespace talvex {

int highestCode(EditingContext::BoxKind kind)
{
    switch (kind) {
    case EditingContext::BoxKind::BandGain: return 180;
    case EditingContext::BoxKind::BandQ: return 78;
    default: return 243;
    }
}

int steppedCode(int code, int direction, int highest)
{
    return std::clamp(std::clamp(code, 0, highest) + (direction > 0 ? 1 : -1), 0, highest);
}

int EditingContext::designateBox(BoxKind kind, int band, int channel)
{
    switch (kind) {
    case BoxKind::HpfFrequency:
    case BoxKind::LpfFrequency:
        bandNumber = 0;
        targetField = crossoverRecord(channel) + (kind == BoxKind::HpfFrequency ? kHpfFrequency : kLpfFrequency);
        break;
    case BoxKind::BandFrequency:
    case BoxKind::BandGain:
    case BoxKind::BandQ:
        bandNumber = band;
        targetRecord = bandRecord(channel, band);
        targetField = targetRecord + (kind == BoxKind::BandFrequency ? kBandFrequency
                                      : kind == BoxKind::BandGain    ? kBandGain
                                                                     : kBandQ);
        break;
    }
    return targetField;
}

bool EditingContext::wheelTurned(int delta)
{
    if (!wheel_.notch)
        return false;
    // Copied: the notch may bind the wheel anew.
    const auto notch = wheel_.notch;
    notch(delta > 0 ? 1 : -1);
    return true;
}

} // namespace talvex
