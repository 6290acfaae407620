#pragma once
// The pictures of the GUI are compiled into the static qav_gui library; a
// static library's resources must be registered by hand before first use.
// Safe to call more than once.
namespace qav {
void InitGuiResources();
} // namespace qav
