#include "controls/ReportRows.h"

#include "graphics/OEUnitResource.h"

#include <QImage>
#include <algorithm>

namespace {

constexpr TColor kGradientTop = static_cast<TColor>(RGB(252, 250, 255));
constexpr TColor kGradientEnd = static_cast<TColor>(RGB(223, 235, 252));
constexpr TColor kTitleColour = static_cast<TColor>(RGB(0, 102, 204));
constexpr TColor kOutcomeColour = static_cast<TColor>(RGB(255, 0, 0));
constexpr int kRowHeight = 50;

// Inverts the pixels of one strip that the checkerboard marks.
void InvertStrip(QImage& surface, int left, int top, int width, int height) {
    const int right = std::min(left + width, surface.width());
    const int bottom = std::min(top + height, surface.height());
    for (int y = std::max(0, top); y < bottom; ++y) {
        auto* line = reinterpret_cast<QRgb*>(surface.scanLine(y));
        for (int x = std::max(0, left); x < right; ++x) {
            if (((x + y) & 1) != 0) {
                line[x] ^= 0x00FFFFFFu;
            }
        }
    }
}

// The gradient's colours run from the row's top to its end colour one line below the row. That
// line is not the row's - it is the next row's top, or lies under the last row - so the gradient
// is painted through a view of the row's own lines, which it cannot pass.
void PaintRowGradient(TCanvas& canvas, const TRect& cell) {
    QImage& surface = canvas.Surface();
    const int top = std::max(cell.Top, 0);
    const int bottom = std::min(cell.Bottom, surface.height());
    if (bottom <= top) {
        return;
    }
    QImage rows(surface.scanLine(top), surface.width(), bottom - top, surface.bytesPerLine(),
                surface.format());
    TCanvas rowCanvas(rows);
    PaintVerticalGradient(rowCanvas, {cell.Left + 1, cell.Top - top, cell.Right, cell.Bottom - top},
                          kGradientTop, kGradientEnd);
}

} // namespace

PVirtualNode AddResultRow(TVirtualDrawTree& list, BYTE flag, const std::string& title,
                          std::int16_t kind, const TGraphic* icon, const std::string& description,
                          const std::string& status, const std::string& outcome) {
    PVirtualNode node = list.AddChild();
    TRESULTNODE& row = node->Data;
    row.RowFlag = flag;
    row.RowKind = kind;
    row.Title = title;
    row.Description = description;
    row.Status = status;
    row.Outcome = outcome;
    row.Icon = icon;
    return node;
}

void DrawFocusRect(TCanvas& canvas, const TRect& rect) {
    // Four strips, as the platform lays them: the whole top and bottom rows, then the sides
    // between them, so no pixel is inverted twice.
    const int width = rect.Right - rect.Left;
    const int sides = rect.Bottom - rect.Top - 2;
    if (width <= 0 || rect.Bottom - rect.Top <= 0) {
        return;
    }
    QImage& surface = canvas.Surface();
    InvertStrip(surface, rect.Left, rect.Top, width, 1);
    InvertStrip(surface, rect.Left, rect.Bottom - 1, width, 1);
    if (sides > 0) {
        InvertStrip(surface, rect.Left, rect.Top + 1, 1, sides);
        InvertStrip(surface, rect.Right - 1, rect.Top + 1, 1, sides);
    }
}

void PaintReportRow(TCanvas& canvas, const TRESULTNODE& row, const TRect& cell, bool focused) {
    TFont& font = canvas.Font();
    font.SetName("Tahoma");
    PaintRowGradient(canvas, cell);

    font.SetSize(8);
    font.SetColor(kTitleColour);
    font.SetStyle(fsBold);
    canvas.SetBkMode(TRANSPARENT);
    TextOutClearTypeAt(canvas, cell.Left + 61, cell.Top + 9, row.Title);

    font.SetColor(clBlack);
    TextOutClearTypeAt(canvas, cell.Right - 89, cell.Top + 9, row.Status);

    font.SetColor(clBlack);
    font.SetStyle(0);
    font.SetSize(8);
    TextOutClearTypeAt(canvas, cell.Left + 62, cell.Top + 29, row.Description);

    // The style change drops the subpixel quality again: the outcome is drawn in the
    // standard one.
    font.SetColor(kOutcomeColour);
    font.SetStyle(fsItalic);
    TRect outcomeBox{cell.Right - 140, cell.Top + 29, cell.Right - 38, cell.Bottom};
    DrawTextA(canvas, row.Outcome, outcomeBox, DT_RIGHT);

    if (row.Icon != nullptr) {
        canvas.Draw(cell.Left + 15, cell.Top + 5, *row.Icon);
    }
    if (focused) {
        DrawFocusRect(canvas, {cell.Left + 1, cell.Top, cell.Right - 1, cell.Bottom - 1});
    }
}

void OEM_FORM_TAB_0_TTS_2_VDT_0DrawNode(TVirtualDrawTree* Sender, const TVTPaintInfo& Info) {
    const TRESULTNODE* row = TVirtualDrawTree::GetNodeData(Info.Node);
    if (Sender == nullptr || row == nullptr) {
        return;
    }
    Sender->SetNodeHeight(Info.Node, kRowHeight);
    PaintReportRow(Info.Canvas, *row, Info.CellRect, Sender->FocusedNode() == Info.Node);
}

void OEM_FORM_TAB_0_TTS_2_VDT_0FreeNode(TVirtualDrawTree*, PVirtualNode Node) {
    TRESULTNODE* row = TVirtualDrawTree::GetNodeData(Node);
    if (row == nullptr) {
        return;
    }
    std::string().swap(row->Title);
    std::string().swap(row->Description);
    std::string().swap(row->Status);
    std::string().swap(row->Outcome);
}
