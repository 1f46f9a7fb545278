// Small pieces the main window's parts build their controls from.
#pragma once

#include <QLabel>
#include <QObject>
#include <QPushButton>
#include <QRadioButton>
#include <initializer_list>
#include <utility>

#include "texts/Entries.h"

// The control with its Qt object name, which tests and style sheets use.
template <typename W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// Runs `handler` (in `context`'s thread and lifetime) whenever the button
// becomes checked, whether the user or the program checks it.
template <typename Handler>
void OnChecked(QRadioButton* button, QObject* context, Handler handler) {
    QObject::connect(button, &QRadioButton::toggled, context, [handler](bool on) {
        if (on) handler();
    });
}

// Labels and buttons alike take their caption as their "text" property.
void SetCaptions(std::initializer_list<std::pair<QWidget*, Entry>> captions);
// Each control's "short|long" hint from the catalogue (texts/QtHints.h).
void SetHints(std::initializer_list<std::pair<QWidget*, Entry>> hints);

// A label whose text a long path or hint may outgrow: it never forces the
// window wider and shows what does not fit as an ellipsis. One that asks for
// its text's width takes it where the layout has room.
class TElidingLabel : public QLabel {
public:
    explicit TElidingLabel(QWidget* parent, bool asksForTextWidth = false)
        : QLabel(parent), asksForTextWidth_(asksForTextWidth) {}
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }
    QSize sizeHint() const override {
        return asksForTextWidth_ ? QLabel::sizeHint() : QSize(0, QLabel::sizeHint().height());
    }
    // A path gives way at its start, so that the file's name stays; words at their end.
    void SetElideMode(Qt::TextElideMode mode) {
        elide_ = mode;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    bool asksForTextWidth_;
    Qt::TextElideMode elide_ = Qt::ElideRight;
};

// A push button that keeps room between its caption and its frame. The
// style's own size leaves a longer caption (German) touching the frame, where
// it reads as cut off; the layout gives the button no more than that size.
class TCaptionButton : public QPushButton {
public:
    explicit TCaptionButton(QWidget* parent) : QPushButton(parent) {}
    QSize sizeHint() const override {
        QSize size = QPushButton::sizeHint();
        size.rwidth() += 2 * fontMetrics().averageCharWidth();
        return size;
    }
    QSize minimumSizeHint() const override { return sizeHint(); }
};
