#pragma once
// What a screen reader says for the controls of the address book, its add/edit dialog and the
// phrase list, where the visible caption says too little or there is none; and the address
// book's buttons reachable by Tab (Enter or the space bar presses them).
class TFrmAddress;
class TFrmTanbun;
class TFrm_Add_Addless;

namespace userdata {

void NameControls(TFrmAddress& window);
void NameControls(TFrmTanbun& window);
void NameControls(TFrm_Add_Addless& window);

}  // namespace userdata
