#pragma once
// Sizes are designed, and stored in the settings, as pixels at 96 dots per inch; a window
// shows them scaled to its own DPI (150 % display scale: 144 DPI, sizes x 1.5).
namespace tess {

inline constexpr int kDesignDpi = 96;

// A 96-DPI size at dpi, rounded to the nearest pixel (halves away from zero).
int ScaleToDpi(int designPixels, int dpi);
// The 96-DPI size of a size at dpi, rounded the same way: ScaleToDpi then this gives the
// stored size back at every DPI from 96 up.
int UnscaleFromDpi(int pixels, int dpi);
// A size at fromDpi moved to toDpi (a window taken to a monitor of another scale).
int RescaleDpi(int pixels, int fromDpi, int toDpi);

}  // namespace tess
