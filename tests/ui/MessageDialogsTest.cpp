// The three message dialogs: their results for each button, Esc and the
// close box, captions, first focus, and the test hook.

#include "ui/FormOK.h"
#include "ui/FormQuestion.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <array>

using namespace talvoren;

class MessageDialogsTest : public QObject {
    Q_OBJECT

private:
    // Shows the dialog without a modal loop, runs `act`, and gives the result.
    template <typename Form, typename Act> static int resultOf(Form& form, Act act)
    {
        form.show();
        if (!QTest::qWaitForWindowExposed(&form)) {
            return -1;
        }
        act(form);
        return form.isVisible() ? -1 : form.result();
    }

    static void pressEsc(QDialog& form) { QTest::keyClick(&form, Qt::Key_Escape); }
    static void closeBox(QDialog& form) { form.close(); }

private slots:
    void yesNoResults()
    {
        {
            TfrmYesNo form;
            QCOMPARE(resultOf(form, [](TfrmYesNo& f) { QTest::mouseClick(f.button(mrYes), Qt::LeftButton); }),
                     int(mrYes));
        }
        {
            TfrmYesNo form;
            QCOMPARE(resultOf(form, [](TfrmYesNo& f) { QTest::mouseClick(f.button(mrNo), Qt::LeftButton); }),
                     int(mrNo));
        }
        {
            TfrmYesNo form;
            QCOMPARE(resultOf(form, pressEsc), int(mrNo));
        }
        {
            // No Cancel to give: the close box answers No, as Esc does.
            TfrmYesNo form;
            QCOMPARE(resultOf(form, closeBox), int(mrNo));
        }
        TfrmYesNo form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Confirm"));
        QVERIFY(form.button(mrCancel) == nullptr);
    }

    void yesNoCancelResults()
    {
        {
            TfrmYesNoCancel form;
            QCOMPARE(resultOf(form, pressEsc), int(mrCancel));
        }
        {
            TfrmYesNoCancel form;
            QCOMPARE(resultOf(form, closeBox), int(mrCancel));
        }
        {
            TfrmYesNoCancel form;
            QCOMPARE(resultOf(form, [](TfrmYesNoCancel& f) { QTest::mouseClick(f.button(mrNo), Qt::LeftButton); }),
                     int(mrNo));
        }
        TfrmYesNoCancel form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Warning"));
        // Buttons left to right: Yes, No, Cancel.
        QVERIFY(form.button(mrYes)->x() < form.button(mrNo)->x());
        QVERIFY(form.button(mrNo)->x() < form.button(mrCancel)->x());
    }

    // Enter answers the focused button, which shows its focus: the first
    // one on opening, then wherever Tab moved it.
    void enterAnswersTheFocusedButton()
    {
        auto check = [](TMessageForm& form, int first, int tabs, int expected) {
            form.show();
            QVERIFY(QTest::qWaitForWindowActive(&form));
            QCOMPARE(QApplication::focusWidget(), form.button(first));
            for (int i = 0; i < tabs; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            }
            auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
            QVERIFY(focused);
            QStyleOptionButton option;
            option.initFrom(focused);
            QVERIFY2(option.state & QStyle::State_KeyboardFocusChange, "the focus frame is drawn");
            QVERIFY(focused->isDefault());
            QTest::keyClick(focused, Qt::Key_Return);
            QVERIFY(!form.isVisible());
            QCOMPARE(form.result(), expected);
        };
        {
            TfrmYesNo form;
            check(form, mrYes, 0, mrYes);
        }
        {
            TfrmYesNo form;
            check(form, mrYes, 1, mrNo);
        }
        {
            TfrmYesNoCancel form;
            check(form, mrYes, 2, mrCancel);
        }
        {
            TfrmOK form;
            check(form, mrOk, 0, mrOk);
        }
    }

    // As in the system's message boxes, a plain letter answers: the
    // button's mnemonic in the shown language, else Y, N or C.
    void lettersAnswerAsInTheSystemsMessageBoxes()
    {
        struct TCase {
            const char* captions; // Yes|No|Cancel as translated; empty: English
            QList<QKeyCombination> keys;
            int expected;
        };
        const TCase cases[] = {
            {"", {Qt::Key_N}, mrNo},
            {"", {Qt::SHIFT | Qt::Key_Y}, mrYes},
            {"", {Qt::Key_C}, mrCancel},
            {"", {Qt::Key_X, Qt::CTRL | Qt::Key_Y, Qt::Key_Y}, mrYes}, // no answer but the last
            {"&Ja|&Nein|Abbrechen", {Qt::Key_J}, mrYes},
            {"&Ja|&Cancelar|Volver", {Qt::Key_C}, mrNo}, // the mnemonic before the English letter
        };
        for (const TCase& c : cases) {
            TfrmYesNoCancel form;
            const QStringList captions = QString::fromUtf8(c.captions).split(u'|');
            for (int i = 0; i < captions.size() && !captions[i].isEmpty(); ++i) {
                form.button(std::array{mrYes, mrNo, mrCancel}[i])->setText(captions[i]);
            }
            form.show();
            QVERIFY(QTest::qWaitForWindowActive(&form));
            for (const QKeyCombination key : c.keys) {
                QVERIFY2(form.isVisible(), c.captions);
                QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
            }
            QVERIFY2(!form.isVisible(), c.captions);
            QCOMPARE(form.result(), c.expected);
        }
    }

    void noticeResultsAndCaptions()
    {
        {
            TfrmOK form;
            QCOMPARE(resultOf(form, pressEsc), int(mrOk));
        }
        {
            TfrmOK form;
            QCOMPARE(resultOf(form, closeBox), int(mrOk));
        }
        {
            TfrmOK form;
            QCOMPARE(resultOf(form, [](TfrmOK& f) { QTest::keyClick(&f, Qt::Key_Return); }), int(mrOk));
        }
        TfrmOK form;
        QVERIFY(form.button(mrOk)->isDefault());
        const std::pair<int, const char*> types[]
            = {{mtWarning, "Warning"}, {mtError, "Error"}, {mtInformation, "Information"}, {mtConfirmation, "Confirm"}};
        for (const auto& [type, caption] : types) {
            form.setType(type);
            QCOMPARE(form.windowTitle(), QString::fromLatin1(caption));
        }
    }

    // A short text keeps the designed size; one that would be cut (the two
    // values of a save conflict) widens, then heightens the dialog until all
    // of it shows, and the dialog stays of fixed size.
    void aTextIsShownWhole()
    {
        TfrmYesNoCancel::setNextAnswer(mrNo);
        const QString longText = QString(QStringLiteral("word ")).repeated(160);
        QCOMPARE(TfrmYesNoCancel::createAndShowModal(longText.toStdU16String()), int(mrNo));
        QCOMPARE(TfrmYesNoCancel::hook().asked().last(), longText);

        const QString paths = QStringLiteral("C:\\Program Files\\Tool;") + QString(QLatin1Char('x')).repeated(300)
            + QStringLiteral(";D:\\bin");
        for (const QString& text : {QStringLiteral("Are you sure?"), longText, paths}) {
            QSize size;
            QSize labelSize;
            bool whole = false;
            bool fixed = false;
            bool buttonsInside = false;
            QTimer::singleShot(0, [&] {
                auto* form = qobject_cast<TMessageForm*>(QApplication::activeModalWidget());
                if (!form) {
                    return;
                }
                auto* label = form->findChild<QLabel*>(QStringLiteral("lblText"));
                size = form->size();
                labelSize = label->size();
                const QRect needed = label->fontMetrics().boundingRect(QRect(0, 0, label->width(), 10000),
                                                                       Qt::TextWordWrap, label->text());
                whole = label->wordWrap() && form->text() == text && needed.width() <= label->width()
                    && needed.height() <= label->height();
                fixed = form->minimumSize() == form->maximumSize();
                const QRect cancel = form->button(mrCancel)->geometry();
                buttonsInside = cancel.right() < size.width() && cancel.bottom() < size.height()
                    && cancel.top() > label->parentWidget()->geometry().bottom();
                form->button(mrCancel)->click();
            });
            QCOMPARE(TfrmYesNoCancel::createAndShowModal(text.toStdU16String()), int(mrCancel));
            QVERIFY(whole);
            QVERIFY(fixed);
            QVERIFY(buttonsInside);
            if (text != QStringLiteral("Are you sure?")) {
                QVERIFY(size.width() > 340 && size.height() > 130);
            } else {
                QCOMPARE(size, QSize(340, 130));
                QCOMPARE(labelSize, QSize(258, 69));
            }
        }
    }

    void hookAnswersInTurnPerClass()
    {
        TfrmYesNo::hook().reset();
        TfrmYesNoCancel::hook().reset();
        TfrmYesNoCancel::setNextAnswer(mrCancel);
        TfrmYesNoCancel::setNextAnswer(mrYes);
        TfrmOK::setNextAnswer(mrOk);
        QCOMPARE(TfrmYesNoCancel::createAndShowModal(u"first"), int(mrCancel));
        QCOMPARE(TfrmOK::createAndShowModal(u"note", mtError), int(mrOk));
        QCOMPARE(TfrmYesNoCancel::createAndShowModal(u"second"), int(mrYes));
        QCOMPARE(TfrmYesNoCancel::hook().asked(), QStringList({QStringLiteral("first"), QStringLiteral("second")}));
        QVERIFY(TfrmYesNo::hook().asked().isEmpty());
        QVERIFY(!TfrmYesNoCancel::hook().hasAnswer());
    }
};

QTEST_MAIN(MessageDialogsTest)
#include "MessageDialogsTest.moc"
