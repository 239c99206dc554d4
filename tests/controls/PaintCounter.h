#pragma once
// Counts the paint events a widget receives, without changing the widget.

#include <QEvent>
#include <QObject>

namespace controls_test {

class PaintCounter : public QObject {
public:
    explicit PaintCounter(QObject* watched) { watched->installEventFilter(this); }

    int Count() const { return count_; }
    void Reset() { count_ = 0; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++count_;
        }
        return false;
    }

private:
    int count_ = 0;
};

} // namespace controls_test
