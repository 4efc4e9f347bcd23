// How the table-built windows' standard controls read to assistive technology, where Qt's own
// reading is not what a screen reader needs:
// - a multi-line memo is text; while it is read-only it offers no editable-text interface and
//   says so in its state;
// - a drop-down list that has an accessible name is named by it (Qt names a combo box by its
//   current item on Linux, so the drive selector read as "/").
// Install() is called by every control table; it is harmless to call again.
#pragma once

namespace toravin {

void InstallAccessibles();

}  // namespace toravin
