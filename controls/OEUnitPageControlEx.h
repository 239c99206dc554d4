#pragma once
// TPageControlEx and TTabSheetEx: a container of pages that shows one page at a time, with no
// tab row and no background of its own - the pictures the window draws behind it show through.
// Only the program switches pages. Every setting of the active page, also to the page already
// active, is reported through OnTabChange; the parent is repainted after it.

#include <QWidget>
#include <functional>
#include <vector>

class TTabSheetEx;

class TPageControlEx : public QWidget {
public:
    explicit TPageControlEx(QWidget* parent = nullptr);
    ~TPageControlEx() override;

    int PageCount() const { return static_cast<int>(pages_.size()); }
    // nullptr outside 0 .. PageCount() - 1.
    TTabSheetEx* Pages(int index) const;

    TTabSheetEx* ActivePage() const { return active_; }
    // -1 when no page is active.
    int ActivePageIndex() const;
    // Shows that page and hides the others (an index out of range leaves no page active), then
    // raises OnTabChange with the active page, then repaints the parent.
    void SetActivePageIndex(int index);
    void SetActivePage(TTabSheetEx* page);

    // Unset until the window assigns it; selections before that reach nobody.
    std::function<void(TTabSheetEx* activePage)> OnTabChange;

    // Where a page lies inside the container: 4 pixels in from the left, top and right, and
    // the strip the tab buttons would take kept free below it.
    static constexpr int kPageMargin = 4;
    static constexpr int kTabStrip = 27;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class TTabSheetEx;
    void AddPage(TTabSheetEx* page);
    void RemovePage(TTabSheetEx* page);
    void PlacePage(TTabSheetEx* page);

    std::vector<TTabSheetEx*> pages_; // owned through Qt's parent tree
    TTabSheetEx* active_ = nullptr;
};

class TTabSheetEx : public QWidget {
public:
    // Appended to pageControl's pages; hidden until made active.
    explicit TTabSheetEx(TPageControlEx* pageControl);
    ~TTabSheetEx() override;

    TPageControlEx* PageControl() const { return pageControl_; }
    int PageIndex() const;

    // Whether the page would have a tab; there is no tab row, so this is only kept.
    bool TabVisible() const { return tabVisible_; }
    void SetTabVisible(bool value) { tabVisible_ = value; }

private:
    friend class TPageControlEx;
    TPageControlEx* pageControl_;
    bool tabVisible_ = true;
};
