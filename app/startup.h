#pragma once

class QApplication;

// What every program does before its main window exists.
namespace startup {

// Qt reads this when the application object is created, so it must come
// first; it overrides whatever the user's environment says.
void enable_screen_scaling();

// The icon fonts that the forms name by family; they must be registered
// before any window is built.
void register_fonts();

} // namespace startup
