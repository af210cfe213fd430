#include "app/bindings.h"

#include "app/hwselect.h"
#include "app/panels.h"
#include "app/shell.h"
#include "app/stopaction.h"
#include "ktav_panels.h"
#include "platform/ui/userint.h"

namespace {

const CallbackBinding mainPanel[] = {
    {0, CC_PANEL},
    {PANEL_TOUCH, CC_TOGGBTNtouchpanel},
    {PANEL_STOP, CC_BTNStop},
};

const CallbackBinding touchPanel[] = {
    {0, CC_TSDPANEL},
    {TSD_STOP, CC_BTNStop},
    {TSD_EXIT, CC_BTNexittouch},
};

const CallbackBinding calibPanel[] = {
    {CALIB_TYPE_A, CC_DROPhwtypeA},
    {CALIB_TYPE_B, CC_DROPhwtypeB},
};

}  // namespace

void BindAllCallbacks()
{
    BindCallbacks(pPA, mainPanel);
    BindCallbacks(pTSD, touchPanel);
    BindCallbacks(pCalib, calibPanel);
}
