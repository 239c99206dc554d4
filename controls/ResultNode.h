#pragma once
// The record of one problem: one row of the report list, and one entry the scan collects
// before the rows are made.

#include "graphics/Picture.h"
#include "platform/Win32Types.h"

#include <cstdint>
#include <string>

struct TRESULTNODE {
    std::int16_t RowKind = 0;
    // Only the collected entries carry it; rows leave it 0.
    std::int16_t OrderKey = 0;
    // Borrowed from the window's icon slots, which outlive every row; may be null.
    const TGraphic* Icon = nullptr;
    std::string Title;
    std::string Description;
    std::string Status;
    std::string Outcome;
    BYTE RowFlag = 0;
};
