#pragma once
// What assistive technology (a screen reader, a test robot, any client of the accessibility
// interface) may do with the program's controls: what the mouse and the keyboard may do, and no
// more. A control that is disabled or not shown on the screen cannot be changed through it, and
// a change made through it reaches the program as the same change by mouse or keyboard would.
//
//   push button, colour button   "Press" clicks it (as Qt does, a moment later, so that the
//                                 caller is answered before the click's work runs)
//   check box, radio button      "Toggle" clicks it the same way: its owner hears of the change
//                                 (and writes it to the amplifier) as it does for the mouse
//   the editor's slider          see controls/Slider.h
//
// Threads: GUI thread only.
class QWidget;

// Installs the accessibility interfaces of the program's controls. Call before the first
// control is built; further calls do nothing.
void InstallAccessibility();

// Whether a user could work w now: it is enabled and shown on the screen (its window shown, and
// neither it nor a widget around it hidden).
bool UsableByUser(const QWidget& w);
