// PNG pictures of the emulated screen.
#pragma once

// Writes the picture area as the window shows it (x 56, y 12, 768 x 548 of the
// frame buffer) to `path`; false when it cannot be written.
bool writeScreenshotPNG(const char* path);
