// Pop-ups and dialogs are windows of their own: they must still look like the
// main window (its font), and long lists must open at a normal height.
#include "support/controls.h"

#include "ui/prompts.h"
#include "ui/warning_dialog.h"

#include <QAbstractItemView>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QScrollBar>
#include <QTimer>

using namespace talvex;

namespace {

void expectWindowFont(const QWidget* widget, const QWidget& window)
{
    EXPECT_EQ(widget->font().family(), window.font().family()) << widget->metaObject()->className();
    EXPECT_EQ(widget->font().pixelSize(), window.font().pixelSize()) << widget->metaObject()->className();
}

} // namespace

TEST(Popups, MenuAndDialogsUseTheWindowFont)
{
    QMainWindow window;
    buildMainWindowLayout(window);
    ASSERT_NE(window.font().family(), QApplication::font().family()); // else this proves nothing
    expectWindowFont(window.findChild<QMenu*>("BridgeConfig1"), window);
    TForm4 warning(&window);
    expectWindowFont(&warning, window);

    MessageBoxPrompts prompts(&window);
    int boxesSeen = 0;
    auto answerYes = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        ++boxesSeen;
        expectWindowFont(box, window);
        QAbstractButton* button = box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes)
                                                                 : box->button(QMessageBox::Ok);
        ASSERT_NE(button, nullptr);
        button->click();
    };
    QTimer::singleShot(0, &window, answerYes);
    EXPECT_TRUE(prompts.question(QStringLiteral("Really?")));
    QTimer::singleShot(0, &window, answerYes);
    prompts.message(QStringLiteral("Done."));
    EXPECT_EQ(boxesSeen, 2);
}

TEST(Popups, DeviceIdListScrollsAtANormalHeight)
{
    QMainWindow window;
    buildMainWindowLayout(window);
    window.show();
    auto* ids = talvex::testing::findControl<QComboBox>(&window, "cbb_deviceid");
    ASSERT_NE(ids, nullptr);
    ASSERT_EQ(ids->count(), 250);
    ids->showPopup();
    QAbstractItemView* view = ids->view();
    ASSERT_TRUE(view->isVisible());
    const int row = view->sizeHintForRow(0);
    EXPECT_LE(view->window()->height(), ids->maxVisibleItems() * row + 2 * row);
    EXPECT_GT(view->verticalScrollBar()->maximum(), 0); // the rest is reached by scrolling
    // It drops down below its box.
    EXPECT_GE(view->window()->geometry().top(), ids->mapToGlobal(QPoint(0, 0)).y());
    ids->hidePopup();
}
