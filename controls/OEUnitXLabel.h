#pragma once
// TOEXLabel: a label that opens a web address when clicked. The click first goes the usual way
// (OnClick), then, when URL is set, the address is handed to the desktop's browser through the
// platform's ShellExecuteA. Without an address it is an ordinary label.

#include "controls/NotifyEvent.h"

#include <QLabel>
#include <string>

class TOEXLabel : public QLabel {
public:
    explicit TOEXLabel(QWidget* parent = nullptr);
    ~TOEXLabel() override;

    const std::string& URL() const { return url_; }
    void SetURL(const std::string& value) { url_ = value; }

    TNotifyEvent OnClick;

    // The click operation: OnClick, then the address (if any) opened. Failure to open it is
    // not reported.
    void Click();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::string url_;
    bool clickPending_ = false;
};
