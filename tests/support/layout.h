#pragma once
// One main window built by the layout builder, shared by the layout tests.

#include "support/controls.h"

#include <QMainWindow>

#include <memory>

class LayoutTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        window_ = std::make_unique<QMainWindow>();
        talvex::buildMainWindowLayout(*window_);
    }
    static void TearDownTestSuite() { window_.reset(); }

    static QMainWindow& window() { return *window_; }
    static QWidget* central() { return window_->centralWidget(); }

    // The control named name, of kind T; fails the test when absent.
    template <typename T = QWidget>
    static T* find(const QString& name) {
        return talvex::testing::findControl<T>(window_.get(), name);
    }
    static QRect rect(const QString& name) {
        QWidget* w = find(name);
        return w ? w->geometry() : QRect();
    }
    static QString parentName(const QString& name) {
        QWidget* w = find(name);
        return w && w->parentWidget() ? w->parentWidget()->objectName() : QString();
    }

private:
    static inline std::unique_ptr<QMainWindow> window_;
};
