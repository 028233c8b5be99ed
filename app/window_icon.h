#pragma once

namespace startup {

// Gives every window the program's application icon. Windows takes it from
// the executable's icon resource, so there this does nothing; elsewhere the
// same drawings are compiled in and set on the application.
void set_window_icon();

} // namespace startup
