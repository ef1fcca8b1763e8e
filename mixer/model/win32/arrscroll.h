// The arrange window's scroll bars, set from the arrange view.
#pragma once

// Horizontal: range 0 to the view's scroll maximum (recomputed here from the
// current arrangement's end), page the visible span, position the view
// origin. Vertical: range 0..255, page the visible rows, position the first
// track. A bar that cannot scroll is disabled rather than hidden. Without an
// arrange window only the scroll maximum is recomputed.
void ArrUpdateHScroll();
void ArrUpdateVScroll();
