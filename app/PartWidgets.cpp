#include "app/PartWidgets.h"

#include <QPainter>
#include <QStyle>

#include "texts/QtHints.h"
#include "texts/QtText.h"

void SetCaptions(std::initializer_list<std::pair<QWidget*, Entry>> captions) {
    for (const auto& [control, caption] : captions) control->setProperty("text", Texts::Text(caption));
}

void SetHints(std::initializer_list<std::pair<QWidget*, Entry>> hints) {
    for (const auto& [control, hint] : hints) ApplyHint(control, Texts::Text(hint));
}

void TElidingLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    QRect area = contentsRect().adjusted(margin() + 2, margin(), -margin() - 2, -margin());
    QString shown = fontMetrics().elidedText(text(), elide_, area.width());
    style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), shown, foregroundRole());
}
