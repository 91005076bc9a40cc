// The display's scale. The program is system-DPI-aware: it draws for the DPI the system had
// when it started (96 at 100 %), and Windows stretches its window only on a monitor of another
// DPI.
#pragma once

// The system's DPI.
int SystemDpi();
// A length given in pixels at 96 DPI, at the system's DPI (rounded).
int ScaleToDpi(int pixelsAt96);
