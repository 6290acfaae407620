#pragma once
// The main screen's controls: ids, kinds, captions, places and which are
// created hidden (the pan-axis, servo-centre, servo-type and control-mode
// controls, kept for the values the controller reports but never shown).
#include "ui/FormHost.h"

#include <vector>

namespace qav {

// Size of the screen the table is laid out for (the main window's client
// area above the status line).
inline constexpr int kMainScreenWidth = 1000;
inline constexpr int kMainScreenHeight = 672;

// The translation context the table's captions are marked with.
inline constexpr char kMainScreenContext[] = "MainScreenTable";
const std::vector<ControlRow>& MainScreenControls();

// Captions drawn transparent in black over the screen's background.
const std::vector<int>& MainScreenCaptionIds();

} // namespace qav
