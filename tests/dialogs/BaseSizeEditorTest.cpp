// The base size editor window: shown, typed into and clicked like a user would.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "dialogs/BaseSizeEditor.h"
#include "settings/Presets.h"
#include "settings/SettingsStore.h"
#include "tests/support/TestSupport.h"
#include "texts/TextCatalogue.h"

namespace {

const QString kSection = "BaseSize";

struct Buttons {
    bool update, del, add;
    bool operator==(const Buttons& o) const { return update == o.update && del == o.del && add == o.add; }
};
std::ostream& operator<<(std::ostream& os, const Buttons& b) {
    return os << "{Modify " << b.update << ", Delete " << b.del << ", New " << b.add << "}";
}

class BaseSizeEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearTestSettings();
        LanguageIndex = Language::English;
        BuildCatalogue(".Quorved_");
        LoadPresets(store);  // the six built-ins, preset 1 current
    }
    void TearDown() override {
        editor.close();
        LanguageIndex = Language::English;
        ClearTestSettings();
    }

    void Show() {
        editor.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    }
    void ClickRow(int row) {
        QListWidgetItem* item = editor.ListBox1->item(row);
        ASSERT_NE(item, nullptr);
        editor.ListBox1->scrollToItem(item);
        QTest::mouseClick(editor.ListBox1->viewport(), Qt::LeftButton, {},
                          editor.ListBox1->visualItemRect(item).center());
    }
    static void Type(QLineEdit* field, const QString& text) {
        field->clear();
        QTest::keyClicks(field, text);
    }
    static void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    Buttons State() const {
        return {editor.UpdateBtn->isEnabled(), editor.DeleteBtn->isEnabled(), editor.NewBtn->isEnabled()};
    }
    QStringList ListTexts() const {
        QStringList texts;
        for (int i = 0; i < editor.ListBox1->count(); ++i) texts << editor.ListBox1->item(i)->text();
        return texts;
    }
    int32_t StoredIndex() const { return store.ReadIntSetting(kSection, "BaseSizeIndex", -99); }
    int32_t StoredCount() const { return store.ReadIntSetting(kSection, "BaseSizes", -99); }

    TSettingsStore store;
    TFrmBaseSize editor;
};

TEST_F(BaseSizeEditorTest, ActivationSetsTextsAndReadsTheList) {
    Show();
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("Modify Base Sizes"));
    EXPECT_EQ(editor.lblList->text(), QStringLiteral("List of Base Sizes"));
    EXPECT_EQ(editor.lblDescription->text(), QStringLiteral("Description"));
    EXPECT_EQ(editor.lblSize->text(), QStringLiteral("Base Size (B)"));
    EXPECT_EQ(editor.UpdateBtn->text(), QStringLiteral("Modify"));
    EXPECT_EQ(editor.DeleteBtn->text(), QStringLiteral("Delete"));
    EXPECT_EQ(editor.NewBtn->text(), QStringLiteral("New"));
    EXPECT_EQ(editor.ListBox1->toolTip(), QStringLiteral("Choose Base Size to modify or delete"));
    EXPECT_EQ(editor.txtDescription->toolTip(), QStringLiteral("Enter new description of the Base Size"));
    EXPECT_EQ(editor.txtSize->statusTip(), QStringLiteral("Enter new value of the Base Size"));
    EXPECT_EQ(editor.objectName(), QStringLiteral("FrmBaseSize"));
    // The designed size, grown where the fonts need more: nothing is cut off.
    EXPECT_EQ(editor.size(), QSize(380, 182).expandedTo(editor.minimumSizeHint()));
    EXPECT_EQ(editor.ListBox1->count(), 6);
    EXPECT_EQ(editor.ListBox1->item(1)->text(), QStringLiteral("1.44 MB 3.5'' double"));
    EXPECT_EQ(editor.EditIndex, -1);
    EXPECT_EQ(State(), (Buttons{false, false, false}));

    // Every showing reads the language and the store anew.
    editor.close();
    AppendPreset(store, 6, "Cartridge", "100000000");
    LanguageIndex = Language::Swedish;
    Show();
    EXPECT_EQ(editor.windowTitle(), QString::fromUtf8("Ändra basstorlekar"));
    EXPECT_EQ(editor.ListBox1->count(), 7);
}

TEST_F(BaseSizeEditorTest, ButtonTable) {
    Show();
    const Buttons none{false, false, false};

    ClickRow(2);
    EXPECT_EQ(editor.txtDescription->text(), QStringLiteral("105 MB SyQuest"));
    EXPECT_EQ(editor.txtSize->text(), QStringLiteral("109850624"));
    EXPECT_EQ(editor.EditIndex, 2);
    EXPECT_EQ(State(), (Buttons{false, true, false})) << "a preset was clicked";

    QTest::keyClicks(editor.txtDescription, "!");
    EXPECT_EQ(State(), (Buttons{true, false, true})) << "changed after a click";

    editor.txtSize->clear();
    EXPECT_EQ(State(), none) << "one field empty";

    QTest::keyClicks(editor.txtSize, "5");
    EXPECT_EQ(State(), (Buttons{true, false, true}));

    ClickRow(2);  // the same row again loads it again
    EXPECT_EQ(editor.txtDescription->text(), QStringLiteral("105 MB SyQuest"));
    EXPECT_EQ(State(), (Buttons{false, true, false}));

    editor.RefreshPresetList();
    EXPECT_EQ(State(), none);
    Type(editor.txtDescription, "Stick");
    EXPECT_EQ(State(), none) << "size still empty";
    Type(editor.txtSize, "4000");
    EXPECT_EQ(State(), (Buttons{false, false, true})) << "no preset clicked since the refresh";
}

TEST_F(BaseSizeEditorTest, NewAppendsAndBecomesCurrent) {
    Show();
    Type(editor.txtDescription, "Cartridge");
    Type(editor.txtSize, "100000000");
    Click(editor.NewBtn);
    EXPECT_EQ(StoredCount(), 7);
    EXPECT_EQ(StoredIndex(), 6);
    EXPECT_EQ(ReadPresetValue(store, 6), 100000000);
    EXPECT_EQ(ReadPresetText(store, 6), QStringLiteral("Cartridge"));
    EXPECT_EQ(editor.ListBox1->count(), 7);
    EXPECT_EQ(editor.ListBox1->item(6)->text(), QStringLiteral("Cartridge"));
    EXPECT_EQ(editor.txtDescription->text(), QString());
    EXPECT_EQ(State(), (Buttons{false, false, false}));
}

TEST_F(BaseSizeEditorTest, ModifyWithSizeNotANumberStoresFloppySize) {
    Show();
    ClickRow(0);
    Type(editor.txtDescription, "Zip 100");
    Type(editor.txtSize, "abc");
    Click(editor.UpdateBtn);
    EXPECT_EQ(ReadPresetValue(store, 0), 1457664);
    EXPECT_EQ(ReadPresetText(store, 0), QStringLiteral("Zip 100"));
    EXPECT_EQ(StoredIndex(), 0);
    EXPECT_EQ(StoredCount(), 6);
    EXPECT_EQ(editor.ListBox1->item(0)->text(), QStringLiteral("Zip 100"));
    EXPECT_EQ(State(), (Buttons{false, false, false}));
}

TEST_F(BaseSizeEditorTest, DeleteIndexCases) {
    const struct {
        const char* name;
        int current, deleted, expectedIndex;
    } cases[] = {
        {"before the current preset", 3, 1, 3},
        {"the current last preset", 5, 5, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClearTestSettings();
        LoadPresets(store);
        store.WriteIntSetting(kSection, "BaseSizeIndex", c.current);
        Show();
        ClickRow(c.deleted);
        Click(editor.DeleteBtn);
        EXPECT_EQ(StoredCount(), 5);
        EXPECT_EQ(StoredIndex(), c.expectedIndex);
        EXPECT_EQ(ReadPresetText(store, c.expectedIndex), QStringLiteral("270 MB SyQuest"));
        EXPECT_EQ(editor.ListBox1->count(), 5);
        EXPECT_EQ(State(), (Buttons{false, false, false}));
        editor.close();
    }
}

TEST_F(BaseSizeEditorTest, NothingSelectedDoesNothing) {
    Show();
    editor.txtDescription->setText("x");
    editor.txtSize->setText("1");
    editor.ListBox1Click();
    editor.UpdateBtnClick();
    editor.DeleteBtnClick();
    EXPECT_EQ(editor.EditIndex, -1);
    EXPECT_EQ(StoredCount(), 6);
    EXPECT_EQ(StoredIndex(), 1);
    EXPECT_EQ(ListTexts().size(), 6);
    EXPECT_EQ(editor.txtDescription->text(), QStringLiteral("x"));
}

}  // namespace
