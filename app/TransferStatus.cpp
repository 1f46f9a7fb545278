#include "app/TransferStatus.h"

QString TransferStatusText(const TransferStatus& status, Language lang, const QString& decimalPoint) {
    return QString::fromStdString(ProgressText(status, lang, decimalPoint.toStdString()));
}
