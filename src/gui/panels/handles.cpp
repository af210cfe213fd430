#include "gui/panels/handles.h"

#include "gui/runtime/userint.h"
#include "ktav_panels.h"

int pPA, pPara0, pPara1, pPara2, pCalib, pRec, pConn, pTSD;
int pTNum, pTMval, pTGraph, pTRec, pTVideo, pTPara0, pTPara1, pTPara2, pTConn;

const char *const PANEL_RESOURCE = ktav_panels_resource;

namespace {

struct PanelSlot {
    int *handle;
    int *parent;  // nullptr: top level
    int resourceId;
    int top, left;  // place inside the parent
};

int topLevel = 0;

// Start-up order; the positions are those inside the parent panel.
const PanelSlot slots[] = {
    {&pPA, &topLevel, PANEL, -1, -1},  {&pPara0, &pPA, PARA0, 91, 5},
    {&pPara1, &pPA, PARA1, 91, 5},     {&pPara2, &pPA, PARA2, 91, 5},
    {&pCalib, &pPA, CALIB, 91, 5},     {&pRec, &pPA, REC, 91, 5},
    {&pConn, &pPA, CONNECT, 313, 377}, {&pTSD, &pPA, TSD, 3, 3},
    {&pTNum, &pTSD, TNUM, 6, 10},      {&pTMval, &pTSD, TMVAL, 331, 10},
    {&pTGraph, &pTSD, TGRAPH, 6, 10},  {&pTRec, &pTSD, TREC, 6, 10},
    {&pTVideo, &pTSD, TVIDEO, 6, 10},  {&pTPara0, &pTSD, TPARA0, 6, 10},
    {&pTPara1, &pTSD, TPARA1, 6, 10},  {&pTPara2, &pTSD, TPARA2, 6, 10},
    {&pTConn, &pTSD, TCONN, 138, 344},
};

// Shut-down order: children first, the two main panels last.
int *const discardOrder[] = {&pPara0,  &pPara1,  &pPara2,  &pCalib, &pRec,    &pConn,
                             &pTNum,   &pTMval,  &pTGraph, &pTRec,  &pTVideo, &pTPara0,
                             &pTPara1, &pTPara2, &pTConn,  &pTSD,   &pPA};

}  // namespace

int LoadAllPanels(const char *resource) {
    for (const PanelSlot &slot : slots) {
        *slot.handle = LoadPanel(*slot.parent, resource, slot.resourceId);
        if (*slot.handle < 0) return -1;
    }
    return 1;
}

int PanelHandle(int resourceId) {
    for (const PanelSlot &slot : slots)
        if (slot.resourceId == resourceId) return *slot.handle;
    return 0;
}

void PlacePanels() {
    for (const PanelSlot &slot : slots)
        if (slot.top >= 0) SetPanelPos(*slot.handle, slot.top, slot.left);
}

void DiscardAllPanels() {
    for (int *handle : discardOrder) {
        if (*handle > 0) DiscardPanel(*handle);
        *handle = 0;
    }
}
