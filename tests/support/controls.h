#pragma once
// Finding, clicking, choosing and typing into a window's controls by objectName.
// A fixture inherits Controls and names the widget the controls are found under.

#include "ui/main_window_layout.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace talvex::testing {

// The object named `name` under `root`, of kind T; fails the test when absent.
template <typename T = QWidget>
T* findControl(const QObject* root, const QString& name)
{
    T* found = root->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
}

class Controls {
public:
    virtual ~Controls() = default;

    template <typename T = QWidget>
    T* control(const char* name) const
    {
        return findControl<T>(controlRoot(), QString::fromLatin1(name));
    }
    QComboBox* combo(const char* name) const { return control<QComboBox>(name); }
    QAbstractButton* button(const char* name) const { return control<QAbstractButton>(name); }
    QSlider* slider(const char* name) const { return control<QSlider>(name); }

    // A mouse click when the window is on screen, the button's own click otherwise.
    void click(const char* name) const
    {
        QWidget* target = control(name);
        auto* button = qobject_cast<QAbstractButton*>(target);
        if (target->isVisible() || !button)
            QTest::mouseClick(target, Qt::LeftButton);
        else
            button->click();
    }
    // The user picks an item of a drop-down list.
    void choose(const char* name, int index) const
    {
        combo(name)->setCurrentIndex(index);
        emit combo(name)->activated(index);
    }
    // Focus the box, replace its text by typing, press Enter.
    void type(const char* name, const char* typed) const
    {
        auto* box = control<QLineEdit>(name);
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, QString::fromLatin1(typed));
        QTest::keyClick(box, Qt::Key_Return);
    }
    // The text a control shows: a button's caption, a box's text, a label, a list's current item.
    QString text(const char* name) const
    {
        QWidget* w = control(name);
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            return b->text();
        if (auto* e = qobject_cast<QLineEdit*>(w))
            return e->text();
        if (auto* l = qobject_cast<QLabel*>(w))
            return l->text();
        if (auto* c = qobject_cast<QComboBox*>(w))
            return c->currentText();
        ADD_FAILURE() << name << " shows no text";
        return {};
    }
    // The texts of several controls, in order.
    QStringList textsOf(std::initializer_list<const char*> names) const
    {
        QStringList out;
        for (const char* name : names)
            out << text(name);
        return out;
    }
    // The items of a drop-down list or a list box, in order.
    QStringList items(const char* name) const { return itemsOf(control(name)); }
    static QStringList itemsOf(QWidget* list)
    {
        QStringList out;
        if (auto* c = qobject_cast<QComboBox*>(list))
            for (int i = 0; i < c->count(); ++i)
                out << c->itemText(i);
        if (auto* l = qobject_cast<QListWidget*>(list))
            for (int i = 0; i < l->count(); ++i)
                out << l->item(i)->text();
        return out;
    }
    QString label(const char* name) const { return control<QLabel>(name)->text(); }
    // Visible as far as the window goes (the window itself may be hidden).
    bool shown(const char* name) const { return control(name)->isVisibleTo(controlRoot()); }
    bool enabled(const char* name) const { return control(name)->isEnabled(); }
    QColor face(const char* name) const { return buttonColour(button(name)); }
    bool checked(const char* name) const { return control<QAction>(name)->isChecked(); }

    // One wheel notch over `target`.
    static void turnWheel(QWidget* target, int delta)
    {
        const QPointF at(target->width() / 2.0, target->height() / 2.0);
        QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }
    // A mouse press, move or release at `at` on `target`, with `held` buttons down.
    static void mouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons held)
    {
        QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &event);
    }
    // Shows the window the controls live in and waits until it is the active one.
    bool showActive() const
    {
        QWidget* window = controlRoot()->window();
        window->show();
        window->activateWindow();
        return QTest::qWaitForWindowActive(window);
    }

protected:
    virtual QWidget* controlRoot() const = 0;
};

} // namespace talvex::testing
