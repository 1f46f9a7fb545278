// The dialog that asks how many disks (pieces) a set spans, for a join that
// pauses between disks.
#pragma once

#include <cstdint>
#include "dialogs/PromptLayout.h"

class QLabel;
class QPushButton;
class QSpinBox;

class TfrmDisk : public TPromptDialog {
    Q_OBJECT
public:
    explicit TfrmDisk(QWidget* parent = nullptr);

    // The number taken by the last OK; 0 before the first OK. Closing the
    // window any other way leaves it as it was.
    int32_t Count() const { return count_; }

    void OnActivate() override;
    void OKBtnClick();

private:
    QLabel* ChooseDiskNr = nullptr;
    QSpinBox* txtNr = nullptr;  // the number field and its spinner in one
    QPushButton* OKBtn = nullptr;
    int32_t count_ = 0;
};
