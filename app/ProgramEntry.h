#pragma once
// The program from start to end: the one-instance rule, the application object, the main
// window, the message loop. Always ends with 0.

int RunTonemender();
