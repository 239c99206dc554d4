#pragma once
// TPNGButton: a button drawn entirely from pictures - normal, pointer-over and pressed - blended
// through their own transparency over whatever the parent painted, with an optional caption
// centred on top. It takes no focus and has no face of its own.

#include "graphics/Font.h"
#include "graphics/Picture.h"
#include "controls/NotifyEvent.h"

#include <QWidget>
#include <string>

class TPNGButton : public QWidget {
public:
    enum class TButtonState : unsigned char { Up = 0, Down = 1, Disabled = 2 };

    explicit TPNGButton(QWidget* parent = nullptr);
    ~TPNGButton() override;

    const TFont& Font() const { return font_; }
    void SetFont(const TFont& value); // repaints

    // While true the pressed picture is shown whatever the state, and releasing the mouse
    // raises nothing (a click still comes). Repaints.
    bool Check() const { return check_; }
    void SetCheck(bool value);
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& value); // repaints

    // Each setter copies the picture into the button's own and repaints.
    const TGraphic& ImageNorm() const { return imageNorm_; }
    void SetImageNorm(const TGraphic& value);
    const TGraphic& ImageDown() const { return imageDown_; }
    void SetImageDown(const TGraphic& value);
    const TGraphic& ImageOver() const { return imageOver_; }
    void SetImageOver(const TGraphic& value);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;

    // The framework's click: leaves the down state first, then raises OnClick.
    void Click();

    TButtonState State() const { return state_; }
    bool MouseOver() const { return mouseOver_; }
    // The picture the next paint draws (possibly an empty one).
    const TGraphic& ChosenPicture() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Repaint();
    void SetMouseOver(bool value);
    void Press(QMouseEvent* event);
    void Paint();

    TFont font_;
    std::string caption_;
    bool check_ = false;
    bool mouseOver_ = false;
    // The left button went down on us and a release inside will be a click.
    bool clickPending_ = false;
    TGraphic imageNorm_;
    TGraphic imageDown_;
    TGraphic imageOver_;
    TGraphic imageDisabled_; // nothing fills it; the disabled state shows the normal picture
    TButtonState state_ = TButtonState::Up;
};
