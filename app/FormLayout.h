#pragma once
// The main window's controls as the form lays them out: names, parents, places, sizes, fonts,
// colours, cursors and the fixed properties of each. Nothing here comes from the configuration.

class TOEM_FORM;

// The client area; the frame around it is the window manager's.
constexpr int kFormClientWidth = 602;
constexpr int kFormClientHeight = 491;
// Where the window is placed, as a hint to the window manager.
constexpr int kFormLeft = 327;
constexpr int kFormTop = 171;

void BuildControlTree(TOEM_FORM& form);

// The controls that show the hand-point cursor take the process's current one.
void ApplyHandCursors(TOEM_FORM& form);
