#include "controls/VirtualDrawTree.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

TVirtualDrawTree::TVirtualDrawTree(QWidget* parent) : QAbstractScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    // The viewport shows the composed frame and nothing else; Qt need not erase it first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    colours.setColor(QPalette::Base, Qt::white);
    setPalette(colours);
    UpdateScrollRange();
}

TVirtualDrawTree::~TVirtualDrawTree() = default;

PVirtualNode TVirtualDrawTree::AddChild() {
    auto node = std::make_unique<TVirtualNode>();
    node->index_ = static_cast<int>(rows_.size());
    node->height_ = defaultHeight_;
    PVirtualNode added = node.get();
    rows_.push_back(std::move(node));
    UpdateScrollRange();
    TRect shown = GetDisplayRect(added);
    viewport()->update(shown.Left, shown.Top, shown.Width(), shown.Height());
    return added;
}

void TVirtualDrawTree::Clear() {
    // The rows leave the list before their owner hears of them, so a handler that looks at
    // the list finds it already empty and cannot free a row twice.
    std::vector<std::unique_ptr<TVirtualNode>> removed;
    removed.swap(rows_);
    focused_ = nullptr;
    for (const auto& node : removed) {
        if (OnFreeNode) {
            OnFreeNode(this, node.get());
        }
    }
    UpdateScrollRange();
    viewport()->update();
}

PVirtualNode TVirtualDrawTree::GetFirst() const {
    return rows_.empty() ? nullptr : rows_.front().get();
}

bool TVirtualDrawTree::Owns(PVirtualNode node) const {
    return node != nullptr && static_cast<std::size_t>(node->index_) < rows_.size() &&
           rows_[static_cast<std::size_t>(node->index_)].get() == node;
}

PVirtualNode TVirtualDrawTree::GetNext(PVirtualNode node) const {
    if (!Owns(node)) {
        return nullptr;
    }
    const std::size_t next = static_cast<std::size_t>(node->index_) + 1;
    return next < rows_.size() ? rows_[next].get() : nullptr;
}

int TVirtualDrawTree::RowTop(const TVirtualNode& node) const {
    int top = 0;
    for (int i = 0; i < node.index_; ++i) {
        top += rows_[static_cast<std::size_t>(i)]->height_;
    }
    return top;
}

int TVirtualDrawTree::TotalHeight() const {
    int total = 0;
    for (const auto& node : rows_) {
        total += node->height_;
    }
    return total;
}

TRect TVirtualDrawTree::GetDisplayRect(PVirtualNode node) const {
    if (!Owns(node)) {
        return {};
    }
    const int top = RowTop(*node) - verticalScrollBar()->value();
    return {0, top, viewport()->width(), top + node->height_};
}

PVirtualNode TVirtualDrawTree::GetNodeAt(int x, int y) const {
    if (x < 0 || x >= viewport()->width() || y < 0 || y >= viewport()->height()) {
        return nullptr;
    }
    int top = -verticalScrollBar()->value();
    for (const auto& node : rows_) {
        if (y >= top && y < top + node->height_) {
            return node.get();
        }
        top += node->height_;
    }
    return nullptr;
}

void TVirtualDrawTree::SetFocusedNode(PVirtualNode node) {
    if (node == focused_ || (node != nullptr && !Owns(node))) {
        return;
    }
    for (PVirtualNode changed : {focused_, node}) {
        TRect shown = GetDisplayRect(changed);
        if (!shown.IsEmpty()) {
            viewport()->update(shown.Left, shown.Top, shown.Width(), shown.Height());
        }
    }
    focused_ = node;
}

void TVirtualDrawTree::RepaintNode(PVirtualNode node) {
    TRect shown = GetDisplayRect(node);
    if (!shown.IsEmpty()) {
        viewport()->repaint(shown.Left, shown.Top, shown.Width(), shown.Height());
    }
}

void TVirtualDrawTree::SetDefaultNodeHeight(int height) {
    defaultHeight_ = std::max(1, height);
    UpdateScrollRange();
}

void TVirtualDrawTree::SetNodeHeight(PVirtualNode node, int height) {
    height = std::max(1, height);
    if (node == nullptr || node->height_ == height) {
        return;
    }
    node->height_ = height;
    if (painting_) {
        heightChangedWhilePainting_ = true;
        return;
    }
    UpdateScrollRange();
    viewport()->update();
}

void TVirtualDrawTree::SetFont(const TFont& font) {
    font_ = font;
    viewport()->update();
}

void TVirtualDrawTree::SetShowHint(bool value) {
    showHint_ = value;
    ApplyHint();
}

void TVirtualDrawTree::SetHint(const std::string& value) {
    hint_ = value;
    ApplyHint();
}

void TVirtualDrawTree::ApplyHint() {
    setToolTip(showHint_ ? QString::fromStdString(hint_) : QString());
}

void TVirtualDrawTree::UpdateScrollRange() {
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(0, TotalHeight() - viewport()->height()));
    bar->setPageStep(std::max(1, viewport()->height()));
    bar->setSingleStep(defaultHeight_);
}

void TVirtualDrawTree::ScrollIntoView(PVirtualNode node) {
    TRect shown = GetDisplayRect(node);
    QScrollBar* bar = verticalScrollBar();
    if (shown.Top < 0) {
        bar->setValue(bar->value() + shown.Top);
    } else if (shown.Bottom > viewport()->height()) {
        bar->setValue(bar->value() + std::min(shown.Top, shown.Bottom - viewport()->height()));
    }
}

void TVirtualDrawTree::ComposeRow(TVirtualNode& node, int top) {
    const int width = frame_.width();
    if (rowBuffer_.width() != width || rowBuffer_.height() != node.height_) {
        rowBuffer_ = QImage(width, node.height_, QImage::Format_RGB32);
    }
    rowBuffer_.fill(Qt::white);
    if (OnDrawNode) {
        TCanvas canvas(rowBuffer_);
        canvas.Font().Assign(font_);
        OnDrawNode(this, TVTPaintInfo{canvas, &node, TRect{0, 0, width, node.height_}});
    }
    const int from = std::max(0, -top);
    const int to = std::min(node.height_, frame_.height() - top);
    for (int y = from; y < to; ++y) {
        std::copy_n(reinterpret_cast<const QRgb*>(rowBuffer_.constScanLine(y)), width,
                    reinterpret_cast<QRgb*>(frame_.scanLine(top + y)));
    }
}

void TVirtualDrawTree::paintEvent(QPaintEvent* event) {
    const QSize size = viewport()->size();
    if (frame_.size() != size) {
        frame_ = QImage(size, QImage::Format_RGB32);
        frame_.fill(Qt::white);
    }
    const QRect dirty = event->rect();
    painting_ = true;
    int top = -verticalScrollBar()->value();
    int bottom = top;
    for (const auto& node : rows_) {
        const int height = node->height_;
        if (top + height > dirty.top() && top <= dirty.bottom()) {
            ComposeRow(*node, top);
        }
        top += height;
        bottom = top;
    }
    painting_ = false;
    if (bottom < frame_.height()) {
        for (int y = std::max(0, bottom); y < frame_.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(frame_.scanLine(y));
            std::fill(line, line + frame_.width(), qRgb(255, 255, 255));
        }
    }
    QPainter painter(viewport());
    painter.drawImage(dirty, frame_, dirty);
    if (heightChangedWhilePainting_) {
        heightChangedWhilePainting_ = false;
        UpdateScrollRange();
        viewport()->update();
    }
}

void TVirtualDrawTree::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange();
}

void TVirtualDrawTree::scrollContentsBy(int, int) {
    viewport()->update();
}

void TVirtualDrawTree::mousePressEvent(QMouseEvent* event) {
    // The whole row answers a click; a click below the last row changes nothing.
    if (event->button() == Qt::LeftButton) {
        const QPoint at = event->position().toPoint();
        if (PVirtualNode node = GetNodeAt(at.x(), at.y())) {
            SetFocusedNode(node);
        }
        event->accept();
        return;
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void TVirtualDrawTree::keyPressEvent(QKeyEvent* event) {
    if (rows_.empty()) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const int last = static_cast<int>(rows_.size()) - 1;
    const int current = focused_ ? focused_->index_ : -1;
    int target = current;
    switch (event->key()) {
    case Qt::Key_Up:
        target = current < 0 ? 0 : std::max(0, current - 1);
        break;
    case Qt::Key_Down:
        target = std::min(last, current + 1);
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = last;
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    PVirtualNode node = rows_[static_cast<std::size_t>(target)].get();
    SetFocusedNode(node);
    ScrollIntoView(node);
    event->accept();
}
