// One shared fixture for window tests: the program's single instances and
// all its windows over fresh settings in the private test folder, with the
// scripted seam answering every file dialog, message box and modal dialog.
#pragma once

#include <gtest/gtest.h>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QWidget>
#include <optional>

#include "app/Main.h"
#include "app/Windows.h"
#include "engine/PieceEngine.h"
#include "settings/SettingsStore.h"
#include "tests/app/MainParts.h"
#include "tests/support/ScriptedModal.h"
#include "tests/support/TestSupport.h"
#include "texts/TextCatalogue.h"

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ClearTestSettings();
        startFolder = QDir::currentPath();
        Modal::Install(&modal);
        Start();
    }

    void TearDown() override {
        windows = TWindows{};
        Modal::Install(nullptr);
        QDir::setCurrent(startFolder);
        ClearTestSettings();
    }

    // Starts the windows anew over what is stored, as the next run would
    // (the window of the previous start is gone first).
    void Start() {
        windows = TWindows{};
        windows = CreateWindows(engine, store);
    }

    TMain& Main() { return *windows.Main; }
    // Its state and controls (tests/app/MainParts.h).
    TMain::Parts Parts() { return TMain::Parts(Main()); }

    // A control or menu item of the main window by its object name.
    template <typename W = QWidget>
    W* Find(const QString& name) {
        W* found = Main().findChild<W*>(name);
        EXPECT_NE(found, nullptr) << "no control " << name.toStdString();
        return found;
    }

    // Enabled state of a control or menu item by name.
    bool IsEnabled(const QString& name) {
        if (auto* w = Main().findChild<QWidget*>(name)) return w->isEnabled();
        if (auto* a = Main().findChild<QAction*>(name)) return a->isEnabled();
        ADD_FAILURE() << "no control " << name.toStdString();
        return false;
    }
    void ExpectEnabled(const QStringList& names, bool enabled) {
        for (const QString& name : names) EXPECT_EQ(IsEnabled(name), enabled) << name.toStdString();
    }

    // The texts of the piece size list, top to bottom.
    QStringList Sizes() {
        QStringList items;
        for (int i = 0; i < Parts().SmallerSizesLB->count(); ++i) items << Parts().SmallerSizesLB->item(i)->text();
        return items;
    }
    QString Status1() { return Parts().StatusPanel1->text(); }
    QString GroupHint() { return Parts().ActualSizeGB->statusTip(); }

    // The check marks of the Language menu: English, Swedish, German.
    struct Checks {
        bool english, swedish, german;
        bool operator==(const Checks& o) const {
            return english == o.english && swedish == o.swedish && german == o.german;
        }
    };
    Checks LanguageChecks() {
        return {Parts().LanguageEnglish->isChecked(), Parts().LanguageSwedish->isChecked(),
                Parts().LanguageGerman->isChecked()};
    }

    static bool Write(const QString& name, const QByteArray& bytes) {
        QFile f(name);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }
    static QByteArray Read(const QString& name) {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // One shown message box; the buttons are checked only where given.
    static void ExpectBox(const ScriptedModal::Shown& box, const QString& title, const QString& text,
                          ModalSeam::Icon icon, std::optional<ModalSeam::Buttons> buttons = std::nullopt) {
        EXPECT_EQ(box.title, title);
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.icon, icon);
        if (buttons) {
            EXPECT_EQ(box.buttons, *buttons);
        }
    }

    ScriptedModal modal;
    TPieceEngine engine{[](int n) { return CatalogueText(n); }};
    TSettingsStore store;
    TWindows windows;
    QString startFolder;
};

// Window tests whose size texts need a decimal point, whatever the user's locale.
class CLocaleWindowFixture : public MainWindowFixture {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        MainWindowFixture::SetUp();
    }
    void TearDown() override {
        MainWindowFixture::TearDown();
        QLocale::setDefault(QLocale::system());
    }
};
