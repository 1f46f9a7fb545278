// The big file's group: its name, its size and the unit the size is shown in.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>

#include "app/Main.h"
#include "app/MainWindowParts.h"
#include "app/PartWidgets.h"
#include "texts/QtHints.h"
#include "texts/QtText.h"

TBigFileGroup::TBigFileGroup(QWidget* parent, TMain& main) : QGroupBox(parent) {
    setObjectName(QStringLiteral("BigFileGB"));
    lblBigFileName = Named(new QLabel(this), "lblBigFileName");
    BigFileName = Named(new TElidingLabel(this), "BigFileName");
    lblBigFileSize = Named(new QLabel(this), "lblBigFileSize");
    BigFileSize = Named(new QLabel(this), "BigFileSize");
    BigFileRB1 = Named(new QRadioButton(QStringLiteral("B"), this), "BigFileRB1");
    BigFileRB2 = Named(new QRadioButton(QStringLiteral("kB"), this), "BigFileRB2");
    BigFileRB3 = Named(new QRadioButton(QStringLiteral("MB"), this), "BigFileRB3");
    BigFileRB4 = Named(new QRadioButton(QStringLiteral("GB"), this), "BigFileRB4");
    // Measured in the window's font, whatever font the style gives group boxes.
    BigFileSize->setMinimumWidth(parent->fontMetrics().horizontalAdvance(QStringLiteral("0000000000.000 ")));

    auto* units = new QHBoxLayout;
    for (QRadioButton* rb : {BigFileRB1, BigFileRB2, BigFileRB3, BigFileRB4}) units->addWidget(rb);
    units->addStretch(1);
    auto* grid = new QGridLayout(this);
    grid->addWidget(lblBigFileName, 0, 0);
    grid->addWidget(BigFileName, 0, 1, 1, 2);
    grid->addWidget(lblBigFileSize, 1, 0);
    grid->addWidget(BigFileSize, 1, 1);
    grid->addLayout(units, 1, 2);
    grid->setColumnStretch(2, 1);

    for (SizeUnit unit : {SizeUnit::Bytes, SizeUnit::Kilobytes, SizeUnit::Megabytes, SizeUnit::Gigabytes})
        OnChecked(UnitButton(unit), &main, [&main, unit] { main.ShowBigFileSize(unit); });
}

QRadioButton* TBigFileGroup::UnitButton(SizeUnit unit) const {
    QRadioButton* const buttons[] = {BigFileRB1, BigFileRB2, BigFileRB3, BigFileRB4};
    return buttons[static_cast<int>(unit) - static_cast<int>(SizeUnit::Bytes)];
}

void TBigFileGroup::ApplyTexts() {
    // The group shows its hint only in the status bar.
    setTitle(Texts::Text(Entry::TheBigFile));
    ApplyHint(this, Texts::Text(Entry::UnitHint), false);
    SetCaptions({{lblBigFileName, Entry::BigFileNameLabel}, {lblBigFileSize, Entry::BigFileSizeLabel}});
}
