// Tool tips of the desktop controls, attached at start-up when the desktop is the surface.
#pragma once

void AttachToolTips();
