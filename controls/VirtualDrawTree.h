#pragma once
// TVirtualDrawTree: the report list. A flat list of owner-drawn rows, each carrying one
// TRESULTNODE; the list lays the rows out, scrolls them, focuses the row the user clicks, and
// has its owner paint every row through OnDrawNode. It paints no selection and no focus mark
// of its own: whatever marks the focused row is the owner's drawing.
//
// Rows are composed one by one in a row-sized 32-bit buffer (so nothing a row draws can spill
// into its neighbours), gathered into one off-screen frame, and the frame is copied to the
// screen in one operation.

#include "graphics/Canvas.h"
#include "controls/ResultNode.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TVirtualDrawTree;

// One row. The list owns it; a handle stays valid until the row is removed.
class TVirtualNode {
public:
    TRESULTNODE Data;

private:
    friend class TVirtualDrawTree;
    int index_ = 0;
    int height_ = 0;
};
using PVirtualNode = TVirtualNode*;

// What the owner gets to paint one row: a canvas over the row's own buffer and the row's cell
// in that canvas's coordinates.
struct TVTPaintInfo {
    TCanvas& Canvas;
    PVirtualNode Node;
    TRect CellRect;
};

using TVTDrawNodeEvent = std::function<void(TVirtualDrawTree* Sender, const TVTPaintInfo& Info)>;
using TVTFreeNodeEvent = std::function<void(TVirtualDrawTree* Sender, PVirtualNode Node)>;

class TVirtualDrawTree : public QAbstractScrollArea {
public:
    explicit TVirtualDrawTree(QWidget* parent = nullptr);
    // Releases the rows without raising OnFreeNode: the owner whose handler it is may already
    // be half destroyed when its children go.
    ~TVirtualDrawTree() override;

    // Called for every row the list paints; a list without it shows white rows. It runs
    // inside the window system's paint handling and must not throw.
    TVTDrawNodeEvent OnDrawNode;
    // Called once for every row the list removes, before the row is gone.
    TVTFreeNodeEvent OnFreeNode;

    // Appends a row with an all-zero record (empty texts, no icon) and the default height.
    PVirtualNode AddChild();
    int RootNodeCount() const { return static_cast<int>(rows_.size()); }
    // Removes every row, raising OnFreeNode once per row, first to last. No row is focused
    // afterwards.
    void Clear();

    // Rows are named by their handles; a handle of another list, or null, names no row here.
    PVirtualNode GetFirst() const;
    // The row after node, or null after the last.
    PVirtualNode GetNext(PVirtualNode node) const;
    // The record of node; null for a null node.
    static TRESULTNODE* GetNodeData(PVirtualNode node) { return node ? &node->Data : nullptr; }

    // The whole row in viewport coordinates, scrolling taken into account; empty for null.
    TRect GetDisplayRect(PVirtualNode node) const;
    // The row at a viewport point, or null.
    PVirtualNode GetNodeAt(int x, int y) const;

    PVirtualNode FocusedNode() const { return focused_; }
    // Null leaves no row focused. Schedules a repaint of the rows that gain and lose the focus.
    void SetFocusedNode(PVirtualNode node);

    // Composes and shows node's row at once (when the list is visible).
    void RepaintNode(PVirtualNode node);

    int DefaultNodeHeight() const { return defaultHeight_; }
    // Rows added later start with this height; existing rows keep theirs. At least 1.
    void SetDefaultNodeHeight(int height);
    int NodeHeight(PVirtualNode node) const { return node ? node->height_ : 0; }
    // Takes effect with the next layout; a change during painting schedules another paint.
    void SetNodeHeight(PVirtualNode node, int height);

    // The font each row's canvas starts with.
    const TFont& Font() const { return font_; }
    void SetFont(const TFont& font);

    // The hint shown while the pointer rests on the list, when ShowHint is on.
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool value);
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& value);

    // The frame the last paint composed (null before the first paint).
    const QImage& Frame() const { return frame_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    bool Owns(PVirtualNode node) const;
    int RowTop(const TVirtualNode& node) const;
    int TotalHeight() const;
    void UpdateScrollRange();
    void ScrollIntoView(PVirtualNode node);
    void ApplyHint();
    void ComposeRow(TVirtualNode& node, int top);

    std::vector<std::unique_ptr<TVirtualNode>> rows_;
    PVirtualNode focused_ = nullptr;
    int defaultHeight_ = 50;
    TFont font_;
    bool showHint_ = false;
    std::string hint_;
    bool painting_ = false;
    bool heightChangedWhilePainting_ = false;
    QImage frame_;
    QImage rowBuffer_;
};
