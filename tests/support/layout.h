#pragma once
// One main window built by the layout builder, shared by the layout tests.

#include "support/controls.h"

#include <QMainWindow>

#include <memory>

// The visible part of the central widget; beyond it lie the design's parked controls.
inline QRect visibleArea() { return {0, 0, talvex::kClientWidth, talvex::kClientHeight - talvex::kMenuHeight}; }

class LayoutTest : public ::testing::Test, public talvex::testing::Controls {
protected:
    static void SetUpTestSuite() {
        window_ = std::make_unique<QMainWindow>();
        talvex::buildMainWindowLayout(*window_);
    }
    static void TearDownTestSuite() { window_.reset(); }

    static QMainWindow& window() { return *window_; }
    static QWidget* central() { return window_->centralWidget(); }
    QWidget* controlRoot() const override { return window_.get(); }

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
    // Each named control at its rectangle, inside the parent named beside it.
    struct Placed {
        QString name;
        const char* parent;
        QRect rect;
    };
    static void expectPlaced(std::initializer_list<Placed> placed) {
        for (const Placed& p : placed) {
            EXPECT_EQ(rect(p.name), p.rect) << p.name.toStdString();
            EXPECT_EQ(parentName(p.name), p.parent) << p.name.toStdString();
        }
    }

private:
    static inline std::unique_ptr<QMainWindow> window_;
};
