// The identity banner of the desktop main panel: the maker's name, telephone and web address
// and logo, the program's name and version. The maker's lines and logo come from the identity
// file "identity.ini" beside the program (section "IDENTITY", keys "Maker", "Telephone", "Web",
// "Logo" = a picture file relative to it); without it neutral texts are shown.
#pragma once

extern const char szSoftName[];        // "K-TAV-PX-MS-Vista"
extern const char szSoftBuildDate[];   // "Build: V4.2.1  05/Oct/2015"
extern const char szProgramVersion[];  // "V4.2", the version shown in the banner

// Draws the banner; the program uses variant 2, the maker banner.
void ShowLogo(int variant);

// Creates a text message on the desktop main panel at (left, top) in the given colours and
// point size, with the build string as its tool tip; returns its control id (negative on
// failure).
int ShowInfoText(int backgroundColor, int textColor, const char *text, int left, int top,
                 int pointSize);
