// The main window held still while a whole-document command works: the
// user's keys, clicks, wheel, menus, drops and closing reach nothing, the
// window is never disabled (so nothing restyles), and it is free again
// afterwards, also when the command stops early. Driven offscreen.
#include "formatting/indenter.h"
#include "shell/ui/windowhosts.h"
#include "support/datarow.h"
#include "support/javatext.h"
#include "support/windowtest.h"
#include "surface/ui/surfaceview.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QScrollBar>
#include <QToolBar>
#include <QWheelEvent>

using namespace qln;

namespace {

// The ways a user can reach the window.
enum class Input {
    Typing,
    DeleteKey,
    Click,
    MenuKey,
    ToolButton,
    Wheel,
    ContextMenu,
    MenuBarKey,
    Drop,
    Close
};

QString sampleText()
{
    return test::numbered(QStringLiteral("int value%1 = compute(%1);\r\n"), 200);
}

QWidget *openPopup()
{
    return QApplication::activePopupWidget();
}

} // namespace

class TstWindowHold : public QObject, test::WindowTest {
    Q_OBJECT

    std::unique_ptr<frmedit> m_w;
    int m_triggered = 0; // menu and toolbar items run

    void start()
    {
        m_w = open();
        m_w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        for (QAction *a : m_w->findChildren<QAction *>())
            connect(a, &QAction::triggered, this, [this] { ++m_triggered; });
        Surface *s = m_w->surface();
        s->setText(sampleText());
        s->setClean();
        s->setSelection(4, 5); // "value"
        m_w->rtfedit()->setFocus();
        m_w->rtfedit()->flush();
    }

    SurfaceView *view() const { return m_w->rtfedit(); }
    QPoint pointAt(int pos) const { return view()->caretRect(pos).center() + QPoint(1, 0); }

    // What the user could have changed, as one line of text.
    QString state() const
    {
        const Surface *s = m_w->surface();
        return QStringLiteral("length %1, selection %2+%3, bold %4, scrolled %5, popup %6, "
                              "shown %7, items run %8")
            .arg(s->length())
            .arg(s->selStart())
            .arg(s->selLength())
            .arg(s->selBold().value_or(false))
            .arg(view()->verticalScrollBar()->value())
            .arg(openPopup() ? openPopup()->objectName() : QStringLiteral("none"))
            .arg(m_w->isVisible())
            .arg(m_triggered);
    }

    void send(Input input)
    {
        QWidget *viewport = view()->viewport();
        switch (input) {
        case Input::Typing: QTest::keyClicks(view(), QStringLiteral("zz")); break;
        case Input::DeleteKey: QTest::keyClick(view(), Qt::Key_Delete); break;
        case Input::Click: QTest::mouseClick(viewport, Qt::LeftButton, {}, pointAt(40)); break;
        case Input::MenuKey: QTest::keyClick(view(), Qt::Key_F1, Qt::ShiftModifier); break; // If
        case Input::ToolButton: {
            QAction *bold = m_w->toolbarButton(QStringLiteral("Bold"));
            QWidget *button = nullptr;
            for (QToolBar *bar : m_w->findChildren<QToolBar *>())
                if (QWidget *b = bar->widgetForAction(bold))
                    button = b;
            QVERIFY(button);
            QTest::mouseClick(button, Qt::LeftButton);
            break;
        }
        case Input::Wheel: {
            const QPointF at = viewport->rect().center();
            QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, -120),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(viewport, &wheel);
            break;
        }
        case Input::ContextMenu: {
            const QPoint at = pointAt(10);
            QContextMenuEvent menu(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
            QApplication::sendEvent(viewport, &menu);
            break;
        }
        case Input::MenuBarKey: QTest::keyClick(view(), Qt::Key_F, Qt::AltModifier); break;
        case Input::Drop: {
            QMimeData data;
            data.setText(QStringLiteral("dropped"));
            const QPointF at = pointAt(30);
            QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(viewport, &enter);
            QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(viewport, &drop);
            break;
        }
        case Input::Close: m_w->close(); break;
        }
        QApplication::processEvents();
    }

    void closePopups()
    {
        while (QWidget *popup = openPopup())
            popup->close();
    }

private slots:
    void init()
    {
        initWindowTest();
        m_triggered = 0;
    }

    void cleanup()
    {
        closePopups();
        if (m_w) {
            m_w->surface()->setClean();
            m_w->close();
            m_w.reset();
        }
        cleanupWindowTest();
    }

    // Each input changes something on a free window and nothing on a held
    // one; the window is never disabled.
    void heldWindowTakesNoInput_data()
    {
        QTest::addColumn<Input>("input");
        row("typing", Input::Typing);
        row("Delete", Input::DeleteKey);
        row("click in the text", Input::Click);
        row("menu key Shift+F1", Input::MenuKey);
        row("Bold tool button", Input::ToolButton);
        row("wheel", Input::Wheel);
        row("context menu", Input::ContextMenu);
        row("Alt+F opens the menu", Input::MenuBarKey);
        row("dropped text", Input::Drop);
        row("closing the window", Input::Close);
    }
    void heldWindowTakesNoInput()
    {
        QFETCH(Input, input);
        start();
        WindowCommandHost host(*m_w);
        const QString before = state();
        host.setWindowEnabled(false);
        send(input);
        QCOMPARE(state(), before);
        QVERIFY(m_w->isEnabled() && view()->isEnabled());
        host.setWindowEnabled(true);
        send(input);
        QVERIFY2(state() != before, qPrintable(state()));
    }

    // Holds nest; a release without a hold changes nothing.
    void holdsNest()
    {
        start();
        WindowCommandHost host(*m_w);
        Surface *s = m_w->surface();
        const int length = s->length();
        host.setWindowEnabled(true); // not held: nothing to release
        host.setWindowEnabled(false);
        host.setWindowEnabled(false);
        host.setWindowEnabled(true);
        send(Input::Typing);
        QCOMPARE(s->length(), length);
        host.setWindowEnabled(true);
        send(Input::Typing);
        QCOMPARE(s->length(), length - 5 + 2); // "value" replaced by "zz"
        {
            // A host that ends while holding lets the window go.
            WindowCommandHost other(*m_w);
            other.setWindowEnabled(false);
        }
        send(Input::DeleteKey);
        QCOMPARE(s->length(), length - 5 + 2 - 1);
    }

    // The window's own dialogs (a message box, the templates editor) still
    // take the keyboard while it is held.
    void dialogsOfTheWindowStillAnswer()
    {
        start();
        WindowCommandHost host(*m_w);
        QDialog dialog(m_w.get());
        auto *edit = new QLineEdit(&dialog);
        dialog.setModal(true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        host.setWindowEnabled(false);
        QTest::keyClicks(edit, QStringLiteral("ok"));
        QCOMPARE(edit->text(), QStringLiteral("ok"));
        const int length = m_w->surface()->length();
        send(Input::Typing);
        QCOMPARE(m_w->surface()->length(), length);
        host.setWindowEnabled(true);
    }

    // Keys, clicks, menu keys and tool buttons sent while the command runs
    // (from the progress bar's first new value) change nothing: the result
    // is the one the command gives untouched, and the window stays enabled.
    void inputDuringACommandIsDropped_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("answers"); // OK answers the command asks for
        row("Colorize all", "colorizeallrtf", 0);
        row("AutoIndent all", "indentallrtf", 0);
    }
    void inputDuringACommandIsDropped()
    {
        QFETCH(QString, command);
        QFETCH(int, answers);
        start();
        Surface *s = m_w->surface();
        const QString text = QStringLiteral("{\r\n") + sampleText() + QStringLiteral("}\r\n");
        auto run = [&] {
            s->setText(text);
            s->setClean();
            s->setSelection(5, 5);
            for (int i = 0; i < answers; ++i)
                m_prompter.answer(MsgAnswer::Ok);
            m_w->menuItem(command)->trigger();
            return s->text();
        };
        const QString untouched = run();
        QVERIFY(untouched != text || command == QLatin1String("colorizeallrtf"));
        const int triggeredBefore = m_triggered;

        bool poked = false, enabledThroughout = true;
        QMetaObject::Connection c =
            connect(m_w->progress(), &QProgressBar::valueChanged, this, [&] {
                enabledThroughout = enabledThroughout && m_w->isEnabled();
                if (poked)
                    return;
                poked = true;
                for (Input input : {Input::Typing, Input::DeleteKey, Input::Click, Input::MenuKey,
                                    Input::ToolButton, Input::Drop, Input::Close})
                    send(input);
            });
        const QString poking = run();
        disconnect(c);
        QVERIFY(poked);
        QVERIFY(enabledThroughout);
        QCOMPARE(poking, untouched);
        QCOMPARE(m_triggered, triggeredBefore + 1); // only the command itself
        QVERIFY(m_w->isVisible());
        QCOMPARE(s->selStart(), 0);
        QCOMPARE(m_w->statusPanel(1)->text(), QStringLiteral("Done"));

        // Free again afterwards.
        send(Input::Typing);
        QCOMPARE(s->text(), QStringLiteral("zz") + untouched);
    }

    // However a command ends, the window takes input afterwards.
    void windowIsFreeAfterEveryEnding_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("setup"); // "long", "modified", "wide indent" or ""
        columns<QList<int>, bool>("answers", "changed");
        const int ok = int(MsgAnswer::Ok), no = int(MsgAnswer::No), cancel = int(MsgAnswer::Cancel);
        row("Colorize all", "colorizeallrtf", "", QList<int>{}, false);
        row("Colorize all, No to the time question", "colorizeallrtf", "long", QList<int>{no},
            false);
        row("AutoIndent all", "indentallrtf", "", QList<int>{}, true);
        row("AutoIndent all, Cancel at the save question", "indentallrtf", "modified",
            QList<int>{cancel}, false);
        row("AutoIndent all, refused as too large", "indentallrtf", "wide indent", QList<int>{ok},
            false);
        row("Spell correct all", "spellcorrectallrtf", "", QList<int>{}, false);
        row("Spell correct all, Cancel at the save question", "spellcorrectallrtf", "modified",
            QList<int>{cancel}, false);
    }
    void windowIsFreeAfterEveryEnding()
    {
        QFETCH(QString, command);
        QFETCH(QString, setup);
        QFETCH(QList<int>, answers);
        QFETCH(bool, changed);
        start();
        Surface *s = m_w->surface();
        QString text = QStringLiteral("{\r\nx;\r\n}\r\n");
        if (setup == QLatin1String("long"))
            text += QString(60000, QLatin1Char('a'));
        if (setup == QLatin1String("wide indent")) {
            m_w->preferences().indentstring = QString(1000, QLatin1Char(' '));
            text = QStringLiteral("{\r\n").repeated(400);
        }
        s->setText(text);
        if (setup != QLatin1String("modified"))
            s->setClean();
        QCOMPARE(m_w->windowTitle().endsWith(QLatin1Char('*')), setup == QLatin1String("modified"));
        for (int a : answers)
            m_prompter.answer(MsgAnswer(a));
        m_w->menuItem(command)->trigger();
        QCOMPARE(int(m_prompter.asked().size()), int(answers.size()));
        QCOMPARE(s->text() != text, changed);
        QVERIFY(m_w->isEnabled());
        s->setSelStart(0);
        send(Input::Typing);
        QCOMPARE(s->text().left(2), QStringLiteral("zz"));
        s->setClean();
        send(Input::Close);
        QVERIFY(!m_w->isVisible());
    }
};

QTEST_MAIN(TstWindowHold)
#include "tst_windowhold.moc"
