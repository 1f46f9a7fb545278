// Window tests of the split and join workflows on real files in a private
// temporary folder, answered through the scripted seam.
#pragma once

#include <QDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "engine/PieceNaming.h"
#include "tests/app/MainWindowFixture.h"

class WorkflowFixture : public CLocaleWindowFixture {
protected:
    void SetUp() override {
        CLocaleWindowFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
    }

    // A name inside the temporary folder, in native form.
    QString Path(const QString& name) const { return QDir::toNativeSeparators(dir.filePath(name)); }
    // Name of piece n of the set whose prefix is `prefix`, with the default marker.
    static QString Piece(const QString& prefix, int n) {
        return QString::fromStdString(PieceName(prefix.toStdString(), kDefaultMarker, n));
    }

    // Bytes that differ from offset to offset, so a slice out of place shows.
    static QByteArray Pattern(int64_t size, int seed = 0) {
        QByteArray bytes(int(size), Qt::Uninitialized);
        for (int i = 0; i < bytes.size(); ++i) bytes[i] = char((i * 7 + i / 251 + seed) & 0xff);
        return bytes;
    }

    // The pieces' folder as if chosen earlier (never the user's home), and
    // the prefix of a set of Setup.exe in it.
    void UsePiecesFolder() {
        ASSERT_TRUE(QDir(dir.path()).mkdir("pieces"));
        Parts().JoinPath = Path("pieces");
        prefix = Path("pieces/Setup.exe");
    }
    // And "big" as the folder a file to split was chosen from before.
    void UsePiecesAndBigFolders() {
        UsePiecesFolder();
        ASSERT_TRUE(QDir(dir.path()).mkdir("big"));
        Parts().SplitPath = Path("big");
    }
    QStringList PiecesFolder() const { return QDir(Path("pieces")).entryList(QDir::Files | QDir::Hidden); }

    // The file dialogs of choosing a file to split and a piece to join, answered with `name`.
    void ChooseToSplit(const QString& name) {
        modal.SetNextFileName(name);
        Main().ChooseSplitAFileClick();
    }
    void ChoosePiece(const QString& name) {
        modal.SetNextFileName(name);
        Main().JoinFilesClick();
    }
    // The disk number dialog answers with OK on `count`.
    static void AnswerDiskCount(ScriptedModal& seam, int count) {
        seam.SetNextDialogAction([count](QDialog* d) {
            d->findChild<QSpinBox*>("txtNr")->setValue(count);
            QTest::mouseClick(d->findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
            return d->result();
        });
    }

    // Writes `bytes` as Setup.exe and splits it from the window into the
    // pieces' folder, with recovery files that rebuild any `lost` pieces; the
    // split's end message is taken off the list.
    void SplitWithRecovery(const QByteArray& bytes, int lost) {
        ASSERT_TRUE(Write(Path("Setup.exe"), bytes));
        ChooseToSplit(Path("Setup.exe"));
        Parts().spnRecovery->setValue(lost);
        Main().DoSplitClick();
        Main().WaitForTransfer();
        ASSERT_TRUE(Status1().startsWith("The file is splitted!")) << Status1().toStdString();
        ASSERT_TRUE(QFileInfo::exists(prefix + ".par2"));
        modal.shown.clear();
    }

    QString StoredPath(const char* name) { return store.ReadStringSetting("Path", name, "(none)"); }

    // The texts of the message boxes shown so far.
    QStringList MessageTexts() const {
        QStringList texts;
        for (const auto& s : modal.Messages()) texts << s.text;
        return texts;
    }

    QTemporaryDir dir;
    QString prefix;  // the set's pieces' names up to the marker
};

// A scripted seam that also runs `onQuestion` whenever a Yes/No question is
// asked, to look at the window while a transfer waits for the answer.
class QuestionWatchingModal : public ScriptedModal {
public:
    bool Message(QWidget* parent, const QString& caption, const QString& text, Icon icon, Buttons buttons) override {
        if (buttons == Buttons::YesNo && onQuestion) onQuestion();
        return ScriptedModal::Message(parent, caption, text, icon, buttons);
    }
    std::function<void()> onQuestion;
};
