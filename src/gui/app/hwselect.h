// Hardware selection on the calibration pop-up: a calibration type code fills the default
// header values of the master's or the slave's side; the master's also sets HWTYPE.
#pragma once
#include <cstdint>

// Gives every item of the two type-code lists its code as value (the items show the codes).
void PrepareTypeCodeLists();

// Fills the master side of the calibration pop-up from `code` and sets HWTYPE.
void selectHARDWARE_A(int32_t code);
// Fills the slave side; HWTYPE is left alone.
void selectHARDWARE_B(int32_t code);

// Type-code lists of the master and slave side (commit).
int CC_DROPhwtypeA(int panel, int control, int event, void *callbackData, int eventData1,
                   int eventData2);
int CC_DROPhwtypeB(int panel, int control, int event, void *callbackData, int eventData1,
                   int eventData2);
