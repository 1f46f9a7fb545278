// The smaller files' group: their names over three columns, the base size
// choice with the recovery files | the list of piece sizes | a new size for
// the piece chosen in the list.
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/Main.h"
#include "app/MainWindowParts.h"
#include "app/PartWidgets.h"
#include "settings/SettingsStore.h"
#include "texts/ExtraTexts.h"
#include "texts/QtHints.h"
#include "texts/QtText.h"

TSmallerFilesGroup::TSmallerFilesGroup(QWidget* parent, TMain& main) : QGroupBox(parent) {
    setObjectName(QStringLiteral("ActualSizeGB"));
    // Measured in the window's font, whatever font the style gives group boxes.
    const QFontMetrics metrics = parent->fontMetrics();
    lblSmallFileNames = Named(new QLabel(this), "lblSmallFileNames");
    SmallFileNames = Named(new TElidingLabel(this), "SmallFileNames");
    BaseSizeHeadline = Named(new QLabel(this), "BaseSizeHeadline");
    CBBaseSize = Named(new QComboBox(this), "CBBaseSize");
    CBBaseSize->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    CBBaseSize->setMinimumContentsLength(22);
    rbSizeBase = Named(new QRadioButton(this), "rbSizeBase");
    rbSizeFree = Named(new QRadioButton(this), "rbSizeFree");
    ApplyBaseSize = Named(new TCaptionButton(this), "ApplyBaseSize");
    lblRecovery = Named(new QLabel(this), "lblRecovery");
    spnRecovery = Named(new QSpinBox(this), "spnRecovery");
    spnRecovery->setRange(Settings::RecoveryPieces.min, Settings::RecoveryPieces.max);
    lblRecovery->setBuddy(spnRecovery);
    lblRecovery->setWordWrap(true);  // the longest caption in the column: it may take two lines
    lblRecoveryPlan = Named(new QLabel(this), "lblRecoveryPlan");
    lblNrFiles = Named(new QLabel(this), "lblNrFiles");
    lblNrFiles->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SmallerSize = Named(new QLabel(this), "SmallerSize");
    SmallerSizesLB = Named(new QListWidget(this), "SmallerSizesLB");
    SmallerSizesLB->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("99999999999999")) + 24);
    SmallerSizesLB->setMinimumHeight(metrics.height() * 8);
    // One line of digits per row: the list measures one row instead of every
    // row each time it lays out (with rows added during a transfer, each time
    // it draws).
    SmallerSizesLB->setUniformItemSizes(true);
    lblNewSize = Named(new QLabel(this), "lblNewSize");
    txtNewSize = Named(new QLineEdit(this), "txtNewSize");
    ChangeItem = Named(new QLabel(this), "ChangeItem");
    ApplyNewSize = Named(new TCaptionButton(this), "ApplyNewSize");
    // Nothing to edit until a file is planned.
    for (QWidget* w : std::initializer_list<QWidget*>{SmallerSizesLB, txtNewSize, ChangeItem, ApplyNewSize})
        w->setEnabled(false);
    Arrange(metrics);
    Connect(main);
}

void TSmallerFilesGroup::Arrange(const QFontMetrics& metrics) {
    auto* baseColumn = new QVBoxLayout;
    baseColumn->addWidget(BaseSizeHeadline);
    baseColumn->addWidget(CBBaseSize);
    baseColumn->addWidget(rbSizeBase);
    baseColumn->addWidget(rbSizeFree);
    baseColumn->addWidget(ApplyBaseSize, 0, Qt::AlignLeft);
    // The caption over the spin box, which has room for five digits, and the
    // plan on one line beside it: the column stays about as wide as the base
    // size list.
    baseColumn->addSpacing(metrics.height() / 2);
    baseColumn->addWidget(lblRecovery);
    auto* recoveryRow = new QHBoxLayout;
    recoveryRow->setSpacing(metrics.height() / 2);  // a gap, whatever spacing the style gives
    recoveryRow->addWidget(spnRecovery);
    recoveryRow->addWidget(lblRecoveryPlan, 1);
    baseColumn->addLayout(recoveryRow);
    baseColumn->addStretch(1);
    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(SmallerSize);
    listColumn->addWidget(SmallerSizesLB);
    auto* newSizeColumn = new QVBoxLayout;
    newSizeColumn->addWidget(lblNrFiles);
    newSizeColumn->addSpacing(metrics.height() / 2);
    newSizeColumn->addWidget(lblNewSize);
    newSizeColumn->addWidget(txtNewSize);
    newSizeColumn->addWidget(ChangeItem);
    newSizeColumn->addWidget(ApplyNewSize);
    newSizeColumn->addStretch(1);
    auto* grid = new QGridLayout(this);
    grid->addWidget(lblSmallFileNames, 0, 0);
    grid->addWidget(SmallFileNames, 0, 1, 1, 3);
    grid->addLayout(baseColumn, 1, 0, 1, 2);
    grid->addLayout(listColumn, 1, 2);
    grid->addLayout(newSizeColumn, 1, 3);
    // The piece list takes the room a larger window gives.
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(1, 1);
    grid->setHorizontalSpacing(12);
}

void TSmallerFilesGroup::Connect(TMain& main) {
    OnChecked(rbSizeBase, &main, [&main] { main.rbSizeBaseClick(); });
    OnChecked(rbSizeFree, &main, [&main] { main.rbSizeFreeClick(); });
    connect(ApplyBaseSize, &QPushButton::clicked, &main, &TMain::ApplyBaseSizeClick);
    connect(spnRecovery, qOverload<int>(&QSpinBox::valueChanged), &main, &TMain::spnRecoveryChange);
    connect(ApplyNewSize, &QPushButton::clicked, &main, &TMain::ApplyNewSizeClick);
    connect(CBBaseSize, qOverload<int>(&QComboBox::activated), &main, &TMain::CBBaseSizeChange);
    // A row chosen with the keys is offered as a clicked one, so the piece
    // shown for editing is always the one a new size is applied to. (A click
    // on the row already selected changes no selection: both signals.)
    connect(SmallerSizesLB, &QListWidget::itemClicked, &main, &TMain::SmallerSizesLBClick);
    connect(SmallerSizesLB, &QListWidget::itemSelectionChanged, &main, &TMain::SmallerSizesLBClick);
    // Any change of the text, typed or set, offers the new size for applying.
    connect(txtNewSize, &QLineEdit::textChanged, &main, &TMain::txtNewSizeChange);
}

void TSmallerFilesGroup::ApplyTexts() {
    using Texts::Text;
    setTitle(Text(Entry::TheSmallerFiles));
    SetCaptions({
        {lblSmallFileNames, Entry::SmallFileNamesLabel},
        {BaseSizeHeadline, Entry::BaseSizeHeadline},
        {rbSizeBase, Entry::UseBaseSize},
        {rbSizeFree, Entry::UseFreeSpace},
        {ApplyBaseSize, Entry::ModifyBaseSizes},
        {SmallerSize, Entry::IndividualSizes},
        {lblNewSize, Entry::NewSize},
        {ChangeItem, Entry::FileNumber},
        {ApplyNewSize, Entry::ApplyNewSize},
    });
    SetHints({
        {ApplyBaseSize, Entry::ModifyBaseSizesHint},
        {CBBaseSize, Entry::BaseSizeChoiceHint},
        {SmallerSizesLB, Entry::SizeListHint},
        {txtNewSize, Entry::NewSizeHint},
        {ApplyNewSize, Entry::ApplyNewSizeHint},
    });
    lblRecovery->setText(FromStd(ExtraText(Extra::RecoveryLabel)));
    ApplyHint(spnRecovery, FromStd(ExtraText(Extra::RecoveryHint)));
}
