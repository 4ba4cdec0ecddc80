#pragma once
// How tall the panes' rows are: the controls' own rule (the font's cell height, or the icon's,
// plus a pixel) leaves no room below the baseline with some fonts, and an underscore or a
// descender is cut off ("IMG_0001.JPG" read as "IMG 0001.JPG"). Each row gets the font's
// whole cell with a margin above and below, and never less than the icon's height with one.
namespace tess {

// textHeight: the font's cell height with its external leading (what the control measures);
// iconHeight: the small icons' height; both at dpi, as is the answer.
int PaneRowHeight(int textHeight, int iconHeight, int dpi);

}  // namespace tess
