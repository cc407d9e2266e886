#pragma once

class QEvent;
class QWidget;

// Moving a borderless window by a strip of its own: a press with any mouse button starts
// the drag where it is, a move keeps that point under the pointer, a release ends it.
// Returns whether the event was one of these, so that the caller takes it.
bool dragWindow(QWidget* window, QEvent* event, bool& dragging, int& startX, int& startY);
