// Labels of the dialogs' layouts were measured for a narrower Gothic face than the one shown
// here. A label that would run past its parent's right edge keeps its text whole by narrowing its
// font to the room left, instead of being cut.
#pragma once

class QWidget;

namespace toravin {

// Narrows every label under `root` that runs past the right edge of its parent.
void FitLabelsInside(QWidget* root);

}  // namespace toravin
