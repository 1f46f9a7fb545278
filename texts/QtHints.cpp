#include "texts/QtHints.h"

#include <QAction>
#include <QWidget>

QString ShortHint(const QString& hint) {
    int bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.left(bar);
}

QString LongHint(const QString& hint) {
    int bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.mid(bar + 1);
}

void ApplyHint(QWidget* widget, const QString& hint, bool withToolTip) {
    widget->setToolTip(withToolTip ? ShortHint(hint) : QString());
    widget->setStatusTip(LongHint(hint));
}

void ApplyHint(QAction* action, const QString& hint) {
    action->setToolTip(ShortHint(hint));
    action->setStatusTip(LongHint(hint));
}
