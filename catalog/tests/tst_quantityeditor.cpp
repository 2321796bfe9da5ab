// The quantity editor both grids open over a quantity cell: which keys edit, Enter, Tab,
// and when leaving it counts.
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "QuantityEditor.h"

class TestQuantityEditor : public QObject {
  Q_OBJECT

 private:
  // A window with the editor and a second control to move the focus to.
  struct Window {
    QWidget top;
    TQuantityEditor* editor = new TQuantityEditor(&top);
    QLineEdit* other = new QLineEdit(&top);
    Window() {
      other->move(0, 40);
      top.show();
      editor->show();
      editor->setFocus();
    }
  };

 private slots:
  void onlyTypingAndBackspaceEdit() {
    Window w;
    QVERIFY(QTest::qWaitForWindowActive(&w.top));
    QCOMPARE(w.editor->maxLength(), 3);
    QTest::keyClicks(w.editor, "1234");
    QCOMPARE(w.editor->text(), QStringLiteral("123"));
    QTest::keyClick(w.editor, Qt::Key_Left);
    QTest::keyClick(w.editor, Qt::Key_Home);
    QTest::keyClick(w.editor, Qt::Key_Delete);
    QCOMPARE(w.editor->text(), QStringLiteral("123"));
    QCOMPARE(w.editor->cursorPosition(), 3);  // the cursor keys did not move it
    QTest::keyClick(w.editor, Qt::Key_Backspace);
    QCOMPARE(w.editor->text(), QStringLiteral("12"));
  }

  void enterIsReportedAndKeptFromTheEditor() {
    Window w;
    QVERIFY(QTest::qWaitForWindowActive(&w.top));
    QSignalSpy enter(w.editor, &TQuantityEditor::EnterPressed);
    QSignalSpy left(w.editor, &TQuantityEditor::Left);
    QTest::keyClick(w.editor, Qt::Key_Return);
    QTest::keyClick(w.editor, Qt::Key_Enter);
    QCOMPARE(enter.count(), 2);
    QCOMPARE(left.count(), 0);
    QVERIFY(w.editor->hasFocus());
  }

  void tabLeavesOnlyWhenAllowed() {
    Window w;
    QVERIFY(QTest::qWaitForWindowActive(&w.top));
    QSignalSpy left(w.editor, &TQuantityEditor::Left);
    QTest::keyClick(w.editor, Qt::Key_Tab);
    QVERIFY(w.editor->hasFocus());
    QCOMPARE(left.count(), 0);
    w.editor->SetTabLeaves(true);
    QTest::keyClick(w.editor, Qt::Key_Tab);
    QVERIFY(w.other->hasFocus());
    QCOMPARE(left.count(), 1);
  }

  void hidingWithoutLeavingIsNotLeaving() {
    Window w;
    QVERIFY(QTest::qWaitForWindowActive(&w.top));
    QSignalSpy left(w.editor, &TQuantityEditor::Left);
    QSignalSpy entered(w.editor, &TQuantityEditor::Entered);
    w.editor->HideWithoutLeaving();
    QVERIFY(!w.editor->isVisible());
    QCOMPARE(left.count(), 0);
    w.editor->show();
    w.editor->setFocus(Qt::MouseFocusReason);
    QCOMPARE(entered.count(), 1);
    w.editor->hide();  // a plain hide moves the focus on: the user has left
    QCOMPARE(left.count(), 1);
  }
};

QTEST_MAIN(TestQuantityEditor)
#include "tst_quantityeditor.moc"
