#pragma once
// The report's rows: adding one per problem, painting each row (gradient, icon, title, status,
// description, outcome and, on the focused row, a dotted frame), and releasing a row's texts.

#include "graphics/Canvas.h"
#include "controls/ResultNode.h"
#include "controls/VirtualDrawTree.h"

#include <cstdint>
#include <string>

// Appends a row at the end of list and fills its record; OrderKey stays 0.
PVirtualNode AddResultRow(TVirtualDrawTree& list, BYTE flag, const std::string& title,
                          std::int16_t kind, const TGraphic* icon, const std::string& description,
                          const std::string& status, const std::string& outcome);

// Paints one row into cell on canvas; focused adds the dotted focus frame.
void PaintReportRow(TCanvas& canvas, const TRESULTNODE& row, const TRect& cell, bool focused);

// The list's OnDrawNode: paints Info's row, framed when it is the list's focused row.
void OEM_FORM_TAB_0_TTS_2_VDT_0DrawNode(TVirtualDrawTree* Sender, const TVTPaintInfo& Info);
// The list's OnFreeNode: releases the four texts of the row; the icon is borrowed and stays.
void OEM_FORM_TAB_0_TTS_2_VDT_0FreeNode(TVirtualDrawTree* Sender, PVirtualNode Node);

// The platform's dotted focus rectangle: every other pixel of the one-pixel frame inverted,
// in a checkerboard fixed to the surface, so that a frame whose top-left corner lies on an
// odd x + y starts with an inverted pixel there. Drawing it twice removes it.
void DrawFocusRect(TCanvas& canvas, const TRect& rect);
