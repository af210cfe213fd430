// Keeps the pictures of the style's costliest unchanging drawings: the frame and background of
// a line edit (every numeric display and text field), the frame and buttons of a spin box and
// the frame and title of a group box.
// The style draws each anew on every repaint, with antialiased curves and text layout, although
// a changed value leaves them exactly as they were; the pictures are drawn once per size, state,
// palette and font and then copied.
#pragma once

// Wraps the application's style once; later calls do nothing.
void CacheStylePictures();
