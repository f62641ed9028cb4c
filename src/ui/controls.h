#pragma once
// Texts for controls.

#include <QString>

#include <string>

namespace talvex {

// A text the device or the value tables give (Latin-1), for a control.
inline QString fromStd(const std::string& text) { return QString::fromLatin1(text.data(), qsizetype(text.size())); }

} // namespace talvex
