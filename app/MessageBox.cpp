#include "app/MessageBox.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace {

MessageBoxAnswerer& Answerer() {
    static MessageBoxAnswerer answerer;
    return answerer;
}

QPointer<QWidget>& Owner() {
    static QPointer<QWidget> owner;
    return owner;
}

QMessageBox::Icon IconOf(UINT flags) {
    switch (flags & 0xF0) {
    case MB_ICONHAND:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int RealMessageBox(const std::string& text, const std::string& caption, UINT flags) {
    QMessageBox box(IconOf(flags), QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::NoButton, Owner().data());
    // The texts come from the configuration: shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    const bool yesNo = (flags & 0xF) == MB_YESNO;
    const bool okCancel = (flags & 0xF) == MB_OKCANCEL;
    QPushButton* first = nullptr;
    QPushButton* second = nullptr;
    if (yesNo) {
        first = box.addButton(QMessageBox::Yes);
        second = box.addButton(QMessageBox::No);
    } else if (okCancel) {
        first = box.addButton(QMessageBox::Ok);
        second = box.addButton(QMessageBox::Cancel);
    } else {
        first = box.addButton(QMessageBox::Ok);
    }
    box.setDefaultButton(second != nullptr && (flags & 0xF00) == MB_DEFBUTTON2 ? second : first);
    // Closing the box counts as the second button (No, Cancel), or OK when there is one button.
    box.setEscapeButton(second != nullptr ? second : first);
    box.exec();
    QAbstractButton* chosen = box.clickedButton();
    if (yesNo) {
        return chosen == first ? IDYES : IDNO;
    }
    if (okCancel) {
        return chosen == first ? IDOK : IDCANCEL;
    }
    return IDOK;
}

} // namespace

int ApplicationMessageBox(const std::string& text, const std::string& caption, UINT flags) {
    if (Answerer()) {
        return Answerer()(text, caption, flags);
    }
    return RealMessageBox(text, caption, flags);
}

MessageBoxAnswerer SetMessageBoxAnswerer(MessageBoxAnswerer answerer) {
    std::swap(Answerer(), answerer);
    return answerer;
}

void SetMessageBoxOwner(QWidget* owner) {
    Owner() = owner;
}
