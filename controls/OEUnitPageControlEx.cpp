#include "controls/OEUnitPageControlEx.h"

#include <algorithm>

TPageControlEx::TPageControlEx(QWidget* parent) : QWidget(parent) {}

TPageControlEx::~TPageControlEx() {
    // The pages go with Qt's children after this; they must not call back into us then.
    for (TTabSheetEx* page : pages_) {
        page->pageControl_ = nullptr;
    }
}

TTabSheetEx* TPageControlEx::Pages(int index) const {
    if (index < 0 || index >= PageCount()) {
        return nullptr;
    }
    return pages_[static_cast<std::size_t>(index)];
}

int TPageControlEx::ActivePageIndex() const {
    return active_ != nullptr ? active_->PageIndex() : -1;
}

void TPageControlEx::SetActivePageIndex(int index) {
    SetActivePage(Pages(index));
}

void TPageControlEx::SetActivePage(TTabSheetEx* page) {
    if (page != nullptr && page->PageControl() != this) {
        page = nullptr;
    }
    // The new page shows before the old one hides, so the window never flashes empty.
    if (page != nullptr) {
        page->show();
        page->raise();
    }
    for (TTabSheetEx* other : pages_) {
        if (other != page) {
            other->hide();
        }
    }
    active_ = page;
    if (OnTabChange) {
        OnTabChange(active_);
    }
    if (QWidget* parent = parentWidget(); parent != nullptr && parent->isVisible()) {
        parent->repaint();
    }
}

void TPageControlEx::PlacePage(TTabSheetEx* page) {
    page->setGeometry(kPageMargin, kPageMargin, std::max(width() - 2 * kPageMargin, 0),
                      std::max(height() - kPageMargin - kTabStrip, 0));
}

void TPageControlEx::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    for (TTabSheetEx* page : pages_) {
        PlacePage(page);
    }
}

void TPageControlEx::AddPage(TTabSheetEx* page) {
    pages_.push_back(page);
    PlacePage(page);
    page->hide();
}

void TPageControlEx::RemovePage(TTabSheetEx* page) {
    pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end());
    if (active_ == page) {
        active_ = nullptr;
    }
}

TTabSheetEx::TTabSheetEx(TPageControlEx* pageControl)
    : QWidget(pageControl), pageControl_(pageControl) {
    if (pageControl_ != nullptr) {
        pageControl_->AddPage(this);
    }
}

TTabSheetEx::~TTabSheetEx() {
    if (pageControl_ != nullptr) {
        pageControl_->RemovePage(this);
    }
}

int TTabSheetEx::PageIndex() const {
    if (pageControl_ == nullptr) {
        return -1;
    }
    const auto& pages = pageControl_->pages_;
    auto found = std::find(pages.begin(), pages.end(), this);
    return found == pages.end() ? -1 : static_cast<int>(found - pages.begin());
}
