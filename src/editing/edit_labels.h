#pragma once
// The names an edit carries for a person (an undo menu item says "Undo Low
// gain"): channels by name, bands counted from 1.

#include <string>

namespace talvex {

// Page channel 0 Main, 1 High, 2 Mid, 3 Low; output k is channel k + 1.
inline std::string channelName(int channel)
{
    static const char* const names[4] = {"Main", "High", "Mid", "Low"};
    return channel >= 0 && channel < 4 ? names[channel] : "?";
}

// "EQ 4 (Main)" for band 3 of Main.
inline std::string bandEditLabel(int channel, int band)
{
    return "EQ " + std::to_string(band + 1) + " (" + channelName(channel) + ")";
}

// "Main HPF frequency", "Low LPF type".
inline std::string crossoverEditLabel(int channel, int filter, bool type)
{
    return channelName(channel) + (filter == 0 ? " HPF " : " LPF ") + (type ? "type" : "frequency");
}

} // namespace talvex
