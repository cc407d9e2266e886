#pragma once

class QWidget;

// Places a window so that its outer frame, title bar included, is centred on the work area
// of the primary screen. The frame is often known only once the window is on screen, so
// the window is centred again whenever its frame size changes during its first showing,
// until a frame has been seen.
void centreOnWorkArea(QWidget* window);
