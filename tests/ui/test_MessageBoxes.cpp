// The core's message boxes shown as real Qt boxes: captions, buttons, the
// answer given back, and a Help button that leaves the question open.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "ui/QtText.h"
#include "ui/UFonts.h"
#include "ui/UPlatformHooks.h"

namespace {

QString U(const char* utf8) { return Q(platform::Utf8ToCp932Literal(utf8)); }

// Runs fn on the box once it is up.
void OnBox(std::function<void(QMessageBox*)> fn) {
    QTimer::singleShot(0, [fn] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        fn(box);
    });
}

QAbstractButton* ButtonWithText(QMessageBox* box, const QString& text) {
    for (QAbstractButton* b : box->buttons())
        if (b->text() == text) return b;
    return nullptr;
}

}  // namespace

class TestMessageBoxes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SetUpFontAliases(); }

    void questionWithHelp() {
        int helpContext = 0;
        platform::TFrontEndScope frontEnd(WindowFrontEnd([&](int context) { helpContext = context; }));
        platform::TMessageRequest request;
        request.kind = platform::TMsgKind::Confirmation;
        request.text = platform::Utf8ToCp932Literal("上書きしますか？\n\n/tmp/a.txt");
        request.buttons = platform::TMsgButtons::YesNo;
        request.defaultButton = platform::TMsgResult::No;
        request.helpContext = 10200;

        QStringList seen;
        OnBox([&](QMessageBox* box) {
            seen << box->windowTitle() << box->text();
            for (QAbstractButton* b : box->buttons()) seen << b->text();
            QCOMPARE(static_cast<QAbstractButton*>(box->defaultButton()), ButtonWithText(box, U("いいえ(&N)")));
            // Help first: the box stays and is asked again.
            ButtonWithText(box, U("ﾍﾙﾌﾟ(&H)"))->click();
            OnBox([](QMessageBox* again) { ButtonWithText(again, U("はい(&Y)"))->click(); });
        });
        QCOMPARE(platform::ShowMessageBox(request), platform::TMsgResult::Yes);
        QCOMPARE(helpContext, 10200);
        QCOMPARE(seen.value(0), U("確認"));
        QCOMPARE(seen.value(1), U("上書きしますか？\n\n/tmp/a.txt"));
        QVERIFY(seen.contains(U("はい(&Y)")));
        QVERIFY(seen.contains(U("いいえ(&N)")));
    }

    void captionsAndButtonsOfEachKind() {
        platform::TFrontEndScope frontEnd(WindowFrontEnd());
        struct Case {
            platform::TMsgKind kind;
            platform::TMsgButtons buttons;
            const char* caption;
            const char* press;
            platform::TMsgResult answer;
        } cases[] = {
            {platform::TMsgKind::Error, platform::TMsgButtons::OK, "ｴﾗｰ", "OK", platform::TMsgResult::OK},
            {platform::TMsgKind::Warning, platform::TMsgButtons::OKCancel, "警告", "ｷｬﾝｾﾙ",
             platform::TMsgResult::Cancel},
            {platform::TMsgKind::Information, platform::TMsgButtons::OK, "情報", "OK", platform::TMsgResult::OK},
            {platform::TMsgKind::Error, platform::TMsgButtons::RetryIgnoreCancel, "ｴﾗｰ", "無視(&I)",
             platform::TMsgResult::Ignore},
        };
        for (const Case& c : cases) {
            QString title;
            OnBox([&](QMessageBox* box) {
                title = box->windowTitle();
                QAbstractButton* b = ButtonWithText(box, U(c.press));
                QVERIFY(b);
                QVERIFY(!ButtonWithText(box, U("ﾍﾙﾌﾟ(&H)")));  // no help context, no Help
                b->click();
            });
            platform::TMessageRequest request;
            request.kind = c.kind;
            request.text = "x";
            request.buttons = c.buttons;
            QCOMPARE(platform::ShowMessageBox(request), c.answer);
            QCOMPARE(title, U(c.caption));
        }
    }
};

QTEST_MAIN(TestMessageBoxes)
#include "test_MessageBoxes.moc"
