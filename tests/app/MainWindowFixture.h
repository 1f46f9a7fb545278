// One shared fixture for window tests: the program's single instances and
// all its windows over fresh settings in the private test folder, with the
// scripted seam answering every file dialog, message box and modal dialog.
#pragma once

#include <QAction>
#include <QDir>
#include <QWidget>
#include <gtest/gtest.h>

#include "app/Main.h"
#include "app/ModalSeam.h"
#include "app/Windows.h"
#include "engine/PieceEngine.h"
#include "settings/SettingsStore.h"
#include "tests/support/TestSupport.h"
#include "texts/TextCatalogue.h"

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ClearTestSettings();
        startFolder = QDir::currentPath();
        SetModal(&modal);
        Start();
    }

    void TearDown() override {
        windows = TWindows{};
        SetModal(nullptr);
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

    ScriptedModal modal;
    TPieceEngine engine{[](int n) { return CatalogueText(n); }};
    TSettingsStore store;
    TWindows windows;
    QString startFolder;
};
