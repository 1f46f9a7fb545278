#include "app/AboutBox.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include "ProgramInfo.h"
#include "app/Main.h"
#include "app/ToolIcons.h"
#include "texts/ExtraTexts.h"
#include "texts/QtText.h"
#include "texts/TextCatalogue.h"

using Texts::Text;

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setModal(true);
    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(48, 48));
    lblName = new QLabel(this);
    ProgramName = new QLabel(this);
    lblVersion = new QLabel(this);
    Version = new QLabel(this);
    Installation = new QLabel(this);
    Installation->setTextFormat(Qt::RichText);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    OKButton = buttons->button(QDialogButtonBox::Ok);
    lblName->setObjectName(QStringLiteral("lblName"));
    ProgramName->setObjectName(QStringLiteral("ProgramName"));
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    Version->setObjectName(QStringLiteral("Version"));
    Installation->setObjectName(QStringLiteral("Installation"));
    OKButton->setObjectName(QStringLiteral("OKButton"));
    QFont bold = ProgramName->font();
    bold.setBold(true);
    ProgramName->setFont(bold);

    auto* facts = new QFormLayout;
    facts->addRow(lblName, ProgramName);
    facts->addRow(lblVersion, Version);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addSpacing(8);
    top->addLayout(facts, 1);
    auto* column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addSpacing(8);
    column->addWidget(Installation);
    column->addWidget(buttons);
    column->setSizeConstraint(QLayout::SetFixedSize);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    ApplyTexts();
}

void TAboutBox::ApplyTexts() {
    setWindowTitle(FromStd(ExtraText(Extra::AboutTitle)));
    lblName->setText(Text(Entry::AboutName));
    ProgramName->setText(Text(Entry::ProgramName));
    lblVersion->setText(Text(Entry::Version));
    Version->setText(QLatin1String(kVersionText));
    // The catalogue's installation lines were written for a program run from
    // a diskette without any library; this one comes as a package.
    // Headings: the first line and each after an empty one.
    QStringList lines = FromStd(ExtraText(Extra::AboutText)).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const bool heading = i == 0 || lines[i - 1].isEmpty();
        lines[i] = heading ? QStringLiteral("<b>") + lines[i].toHtmlEscaped() + QStringLiteral("</b>")
                           : lines[i].toHtmlEscaped();
    }
    Installation->setText(lines.join(QStringLiteral("<br>")));
}

void TAboutBox::showEvent(QShowEvent* e) {
    ApplyTexts();
    QDialog::showEvent(e);
}
