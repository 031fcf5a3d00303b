// The pictures of the list controls, drawn by this code when a list is made or its display scale
// changes: check boxes (empty, ticked, partly checked with a square) and the fold markers (a box
// with a minus for an unfolded category, with a plus for a folded one). They are drawn at the
// size they are shown (16 pixels square at 96 DPI, 24 at 144) from one description of their
// shapes on the 16-pixel grid, never stretched from another size. Each picture has a mask, so
// the row's background (white, or the selection colour) shows around the box.
#pragma once

#include "controls/html_list.h"
#include "controls/list_colours.h"
#include "controls/win32/gdi_handles.h"

namespace qv {

// The image list of one kind of list, in the order its rows ask for:
//   results list: 0 unchecked, 1 checked, 2 partly checked, 3 unfolded, 4 folded;
//   scan list:    0 unchecked, 1 checked (the box of every row), 2 unfolded, 3 folded.
// `size` is the side of every picture in pixels; they are drawn in the list's picture colours.
// Invalid when the system cannot make it (out of GDI resources).
[[nodiscard]] CImageList CreateListImages(HTMLLIST_KIND kind, int size = kImageSize,
                                          const LIST_COLOURS& colours = kLightListColours);

}  // namespace qv
