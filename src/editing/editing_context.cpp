#include "editing/editing_context.h"

#include "model/parameter_model.h"

#include <string_view>

namespace talvex {

int highestCode(EditingContext::BoxKind kind)
{
    switch (kind) {
    case EditingContext::BoxKind::BandGain: return 180;
    case EditingContext::BoxKind::BandQ: return 78;
    default: return 243;
    }
}

const char* wheelTargetName(EditingContext::BoxKind kind)
{
    switch (kind) {
    case EditingContext::BoxKind::HpfFrequency: return "edt_hpf_freq";
    case EditingContext::BoxKind::LpfFrequency: return "edt_lpf_freq";
    case EditingContext::BoxKind::BandFrequency: return "edt_eq_freq";
    case EditingContext::BoxKind::BandGain: return "edt_eq_gain";
    case EditingContext::BoxKind::BandQ: return "edt_eq_qval";
    }
    return "";
}

void EditingContext::bindBox(BoxKind kind, int band, int channel, const std::string& boxName)
{
    switch (kind) {
    case BoxKind::HpfFrequency:
    case BoxKind::LpfFrequency:
        bandNumber = 0;
        targetField = crossoverRecord(channel) + (kind == BoxKind::HpfFrequency ? kHpfFrequency : kLpfFrequency);
        targetChunk = crossoverChunk(channel);
        break;
    case BoxKind::BandFrequency:
    case BoxKind::BandGain:
    case BoxKind::BandQ:
        bandNumber = band;
        targetRecord = bandRecord(channel, band);
        targetField = targetRecord + (kind == BoxKind::BandFrequency ? kBandFrequency
                                      : kind == BoxKind::BandGain    ? kBandGain
                                                                     : kBandQ);
        targetChunk = bandChunk(channel, band);
        break;
    }
    targetBox = boxName;
    wheelTarget = wheelTargetName(kind);
    openWheel(0, highestCode(kind));
}

void EditingContext::bindTrackBar(const std::string& trackBarName)
{
    wheelTarget = trackBarName;
    openWheel(0, 0);
}

void EditingContext::unbind()
{
    wheelActive = false;
    wheelTarget.clear();
    wheelMin = wheelMax = 0;
}

void EditingContext::openWheel(int minimum, int maximum)
{
    wheelActive = true;
    wheelMin = minimum;
    wheelMax = maximum;
}

void EditingContext::reset()
{
    unbind();
}

bool EditingContext::callApply(const std::string& name, int code) const
{
    const auto found = apply_.find(name);
    if (found == apply_.end() || !found->second)
        return false;
    found->second(code);
    return true;
}

bool EditingContext::wheelTurned(int delta, const ParameterModel& model)
{
    if (!wheelActive)
        return false;
    if (wheelTarget.empty()) {
        wheelActive = false;
        return false;
    }
    const std::string_view target = wheelTarget;
    if (target.starts_with("edt_")) {
        if (targetField < 0 || targetField + 1 >= kImageSize)
            return true; // nothing designated yet: swallow the turn, change nothing
        // The code is stored by the apply operation (16 bits for gain and Q).
        const bool wide = target == "edt_eq_gain" || target == "edt_eq_qval";
        int value = wide ? model.code16(targetField) : model.image[targetField];
        if (value < wheelMin)
            value = wheelMin;
        else if (value > wheelMax)
            value = wheelMax;
        if (delta > 0)
            value = value < wheelMax ? value + 1 : wheelMax;
        else
            value = value > wheelMin ? value - 1 : wheelMin;
        callApply(wheelTarget + "Change", value);
    } else if (target.starts_with("rztr")) {
        if (stepTrackBar_)
            stepTrackBar_(wheelTarget, delta > 0 ? 1 : -1);
    }
    return true;
}

} // namespace talvex
