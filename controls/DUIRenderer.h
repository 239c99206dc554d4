#pragma once
// The drawn page items: headings, paragraphs and small pictures each page carries besides its
// controls, described by a list in the configuration ("form1#frame1#DUI" for the welcome page,
// frame2 for the scanning page, frame3 for the report page) and drawn into a page-sized
// overlay picture that lies over the page's background.
//
// Everything here runs on the window's thread.

#include "graphics/Canvas.h"
#include "config/OEUnitConfig.h"
#include "controls/DUIOverlay.h"

#include <QSize>
#include <string>

// The item rectangle the items place themselves by. There is one for the whole program, shared
// by every page and every activation: it starts as (0, 0, 0, 0) and is never reset, so an
// item's relative placement refers to whatever item was drawn before it, on any page.
TRect& DUIRect();

// Draws the item at itemPath ("form1#frame1#DUI#3") onto canvas. The item's font settings stay
// on the canvas for the items after it, also when the item itself is not drawn (no "rect").
// A size or colour that is not a number raises ConvertError; a picture that cannot be decoded
// raises PictureError. Pictures come through the process-wide resource loader, which reads the
// process-wide configuration.
void DrawDUIItem(TCanvas& canvas, TOEConfiger& configuration, const std::string& itemPath);

// The item list of a page of the main window: "form1#frame<k + 1>#DUI", or empty for an index
// that is no page.
std::string DUIListPath(int pageIndex);

// Draws a page's items into its overlay: the overlay made at overlaySize on first use, the
// window's client rectangle filled white on it (as far as it reaches), then DrawDUIItem for
// every index 0 to N of the list at listPath, N being the list's length: one call more than
// there are items, the last of which finds nothing and only sets the style to normal.
// An error stops the drawing at the item that raised it and propagates; the overlay keeps what
// was drawn before.
void DrawDUIPage(TDUIOverlay& overlay, QSize overlaySize, const TRect& clientRect,
                 TOEConfiger& configuration, const std::string& listPath);
