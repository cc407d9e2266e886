#include "RecordingPlatform.h"
#include "WhenModal.h"
#include "platform/Fonts.h"
#include "update/ProgressFm.h"
#include "widgets/StyledButton.h"

#include <QtTest>

namespace {
enum class Make { Normal, Hot, Selected, Pressed, Disabled };

struct Look {
    QColor fill, border;
    int width;
    QColor text;
};

// Whether any pixel in the middle third of the image has exactly this colour.
bool captionDrawnIn(const QImage& image, const QColor& colour) {
    for (int y = image.height() / 3; y < image.height() * 2 / 3; ++y)
        for (int x = image.width() / 4; x < image.width() * 3 / 4; ++x)
            if (image.pixelColor(x, y) == colour)
                return true;
    return false;
}

void checkLook(TCustomStyledButton* button, const Look& look) {
    const QImage image = button->grab().toImage();
    const int w = image.width(), h = image.height(), mid = h / 2;
    for (int i = 0; i < look.width; ++i) {
        QCOMPARE(image.pixelColor(i, mid), look.border);         // left edge
        QCOMPARE(image.pixelColor(w - 1 - i, mid), look.border); // right edge
        QCOMPARE(image.pixelColor(w / 2 + 1, i), look.border);   // top edge
        QCOMPARE(image.pixelColor(w / 2 + 1, h - 1 - i), look.border);
    }
    QCOMPARE(image.pixelColor(look.width, mid), look.fill); // the border is exactly `width` wide
    QCOMPARE(image.pixelColor(look.width + 2, look.width + 1), look.fill);
    QVERIFY2(captionDrawnIn(image, look.text), qPrintable("caption colour " + look.text.name()));
}

void bringTo(TCustomStyledButton* button, Make make) {
    switch (make) {
    case Make::Normal: break;
    case Make::Hot: {
        QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), QPointF(3, 3));
        QApplication::sendEvent(button, &enter);
        break;
    }
    case Make::Selected: button->setFocus(); break;
    case Make::Pressed: QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5)); break;
    case Make::Disabled: button->setEnabled(false); break;
    }
}
} // namespace

Q_DECLARE_METATYPE(Make)

class StyledButtonTest : public QObject {
    Q_OBJECT
    PlatformScope* scope = nullptr;
    TUpdateForm* form = nullptr;
    QList<TCustomStyledButton*> buttons() const { return {control<TStyledButton>(form, QStringLiteral("DownloadBtn")), control<TStyledButton>(form, QStringLiteral("CancelBtn")), control<TStyledButton>(form, QStringLiteral("OtherOptionsBtn"))}; }

private slots:
    void initTestCase() { installFontSubstitutes(); }
    void init() {
        scope = new PlatformScope;
        form = new TUpdateForm;
        for (TCustomStyledButton* b : buttons())
            disconnect(b, nullptr, form, nullptr); // these tests watch the buttons alone
        form->show();
        QApplication::setActiveWindow(form);
        QVERIFY(QTest::qWaitForWindowActive(form));
        control<QWidget>(form, QStringLiteral("pnl_ButtonContainer"))->setFocus();
    }
    void cleanup() {
        form->hide();
        delete form;
        delete scope;
    }

    void windowButtonsInEachState_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<Make>("make");
        QTest::addColumn<Look>("look");
        const QColor black(0, 0, 0);
        const Look disabled{QColor(0xFEFEFE), QColor(0xE8E8E8), 1, QColor(0xC0C0C0)};
        struct Row {
            const char* name;
            QRgb fill, strong, selected, hot;
        } rows[] = {{"DownloadBtn", 0x00C493, 0x00B789, 0x006249, 0x00221A},
                    {"CancelBtn", 0xFF9797, 0xFF4A4A, 0xA60000, 0x220000},
                    {"OtherOptionsBtn", 0x97D0FF, 0x53B1FF, 0x0075D5, 0x001322}};
        for (const Row& r : rows) {
            const QString n = QLatin1String(r.name);
            QTest::newRow(qPrintable(n + " normal")) << n << Make::Normal << Look{QColor(r.fill), QColor(0x808080), 1, black};
            QTest::newRow(qPrintable(n + " hot")) << n << Make::Hot << Look{QColor(r.strong), QColor(r.hot), 1, black};
            QTest::newRow(qPrintable(n + " selected"))
                << n << Make::Selected << Look{QColor(r.fill), QColor(r.selected), 2, black};
            QTest::newRow(qPrintable(n + " pressed"))
                << n << Make::Pressed << Look{QColor(r.strong), QColor(0xC0C0C0), 2, black};
            QTest::newRow(qPrintable(n + " disabled")) << n << Make::Disabled << disabled;
        }
    }
    void windowButtonsInEachState() {
        QFETCH(QString, button);
        QFETCH(Make, make);
        QFETCH(Look, look);
        auto* b = form->findChild<TCustomStyledButton*>(button);
        QVERIFY(b);
        bringTo(b, make);
        checkLook(b, look);
    }

    void defaultLooksComeFromTheBaseColours_data() {
        QTest::addColumn<Make>("make");
        QTest::addColumn<Look>("look");
        QTest::newRow("normal") << Make::Normal << Look{QColor(0xFDFDFD), QColor(0xD0D0D0), 2, QColor(0, 0, 0)};
        QTest::newRow("hot") << Make::Hot << Look{QColor(0xE0EEF9), QColor(0x0078D4), 2, QColor(0, 0, 0)};
        QTest::newRow("selected") << Make::Selected << Look{QColor(0xCAD6E0), QColor(0x0078D4), 2, QColor(0, 0, 0)};
        QTest::newRow("pressed") << Make::Pressed << Look{QColor(0xB3BEC7), QColor(0xE6F1FA), 2, QColor(0, 0, 0)};
        QTest::newRow("disabled") << Make::Disabled << Look{QColor(0xFEFEFE), QColor(0xE8E8E8), 2, QColor(0x808080)};
    }
    void defaultLooksComeFromTheBaseColours() {
        QFETCH(Make, make);
        QFETCH(Look, look);
        TStyledButton button(control<QWidget>(form, QStringLiteral("pnl_ButtonContainer")));
        button.setCaption(QStringLiteral("&Wide caption"));
        button.setFont(pixelFont(QStringLiteral("Segoe UI"), 13, true));
        button.setGeometry(10, 10, 160, 40);
        button.show();
        bringTo(&button, make);
        checkLook(&button, look);
    }

    void focusedAndHoveredShowsSelected() {
        bringTo(control<TStyledButton>(form, QStringLiteral("CancelBtn")), Make::Hot);
        QCOMPARE(control<TStyledButton>(form, QStringLiteral("CancelBtn"))->state(), TStyledButtonState::Hot);
        control<TStyledButton>(form, QStringLiteral("CancelBtn"))->setFocus();
        QCOMPARE(control<TStyledButton>(form, QStringLiteral("CancelBtn"))->state(), TStyledButtonState::Selected);
        checkLook(control<TStyledButton>(form, QStringLiteral("CancelBtn")), {QColor(0xFF9797), QColor(0xA60000), 2, QColor(0, 0, 0)});
    }

    void leavingWhilePressedDropsThePressAndReleasingOutsideDoesNotClick() {
        QSignalSpy clicks(control<TStyledButton>(form, QStringLiteral("CancelBtn")), &TCustomStyledButton::clicked);
        QTest::mousePress(control<TStyledButton>(form, QStringLiteral("CancelBtn")), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(control<TStyledButton>(form, QStringLiteral("CancelBtn"))->state(), TStyledButtonState::Pressed);
        QTest::mouseMove(control<TStyledButton>(form, QStringLiteral("CancelBtn")), QPoint(-20, -20));
        QVERIFY(!control<TStyledButton>(form, QStringLiteral("CancelBtn"))->isPressedFlag());
        QCOMPARE(control<TStyledButton>(form, QStringLiteral("CancelBtn"))->state(), TStyledButtonState::Selected); // the press gave it the focus
        QTest::mouseRelease(control<TStyledButton>(form, QStringLiteral("CancelBtn")), Qt::LeftButton, {}, QPoint(-20, -20));
        QCOMPARE(clicks.count(), 0);
        // Leaving and coming back while held: released over the button, so it clicks.
        QTest::mousePress(control<TStyledButton>(form, QStringLiteral("CancelBtn")), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(control<TStyledButton>(form, QStringLiteral("CancelBtn")), QPoint(-20, -20));
        QTest::mouseMove(control<TStyledButton>(form, QStringLiteral("CancelBtn")), QPoint(6, 6));
        QTest::mouseRelease(control<TStyledButton>(form, QStringLiteral("CancelBtn")), Qt::LeftButton, {}, QPoint(6, 6));
        QCOMPARE(clicks.count(), 1);
        QTest::mouseClick(control<TStyledButton>(form, QStringLiteral("CancelBtn")), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(clicks.count(), 2);
        QVERIFY2(control<TStyledButton>(form, QStringLiteral("CancelBtn"))->isPointerOver(), "a click leaves the pointer-over flag set");
    }

    void rightButtonPressesButDoesNotClick() {
        QSignalSpy clicks(control<TStyledButton>(form, QStringLiteral("OtherOptionsBtn")), &TCustomStyledButton::clicked);
        QTest::mousePress(control<TStyledButton>(form, QStringLiteral("OtherOptionsBtn")), Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(control<TStyledButton>(form, QStringLiteral("OtherOptionsBtn"))->state(), TStyledButtonState::Pressed);
        QTest::mouseRelease(control<TStyledButton>(form, QStringLiteral("OtherOptionsBtn")), Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(clicks.count(), 0);
    }

    void keyboard_data() {
        QTest::addColumn<QString>("focus"); // object name of the focused control
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("downloadEnabled");
        QTest::addColumn<QString>("clicked"); // "" for none
        QTest::newRow("Enter on CancelBtn") << "CancelBtn" << int(Qt::Key_Return) << 0 << true << "CancelBtn";
        QTest::newRow("keypad Enter on OtherOptionsBtn") << "OtherOptionsBtn" << int(Qt::Key_Enter) << 0 << true
                                                         << "OtherOptionsBtn";
        QTest::newRow("Enter elsewhere clicks the default") << "pnl_ButtonContainer" << int(Qt::Key_Return) << 0 << true
                                                            << "DownloadBtn";
        QTest::newRow("Enter with the default disabled") << "pnl_ButtonContainer" << int(Qt::Key_Return) << 0 << false
                                                         << "";
        QTest::newRow("Shift+Enter") << "CancelBtn" << int(Qt::Key_Return) << int(Qt::ShiftModifier) << true << "";
        QTest::newRow("Ctrl+Enter") << "pnl_ButtonContainer" << int(Qt::Key_Return) << int(Qt::ControlModifier) << true
                                    << "";
        QTest::newRow("Escape") << "CancelBtn" << int(Qt::Key_Escape) << 0 << true << "";
        QTest::newRow("Escape elsewhere") << "pnl_ButtonContainer" << int(Qt::Key_Escape) << 0 << true << "";
        QTest::newRow("Space on CancelBtn") << "CancelBtn" << int(Qt::Key_Space) << 0 << true << "CancelBtn";
        QTest::newRow("Alt+Space") << "CancelBtn" << int(Qt::Key_Space) << int(Qt::AltModifier) << true << "";
    }
    void keyboard() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, downloadEnabled);
        QFETCH(QString, clicked);
        control<TStyledButton>(form, QStringLiteral("DownloadBtn"))->setEnabled(downloadEnabled);
        QStringList seen;
        for (TCustomStyledButton* b : buttons())
            connect(b, &TCustomStyledButton::clicked, form, [&seen, b] { seen << b->objectName(); });
        auto* target = form->findChild<QWidget*>(focus);
        target->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(seen, clicked.isEmpty() ? QStringList() : QStringList{clicked});
        QVERIFY2(form->isVisible(), "no key closes the window");
    }

    void disabledButtonIgnoresThePointer() {
        QSignalSpy clicks(control<TStyledButton>(form, QStringLiteral("DownloadBtn")), &TCustomStyledButton::clicked);
        control<TStyledButton>(form, QStringLiteral("DownloadBtn"))->setEnabled(false);
        bringTo(control<TStyledButton>(form, QStringLiteral("DownloadBtn")), Make::Hot);
        QTest::mouseClick(control<TStyledButton>(form, QStringLiteral("DownloadBtn")), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(clicks.count(), 0);
        QVERIFY(!control<TStyledButton>(form, QStringLiteral("DownloadBtn"))->isPointerOver());
        QCOMPARE(control<TStyledButton>(form, QStringLiteral("DownloadBtn"))->state(), TStyledButtonState::Disabled);
        checkLook(control<TStyledButton>(form, QStringLiteral("DownloadBtn")), {QColor(0xFEFEFE), QColor(0xE8E8E8), 1, QColor(0xC0C0C0)});
    }

    void colourArithmetic_data() {
        QTest::addColumn<QColor>("base");
        QTest::addColumn<int>("percent");
        QTest::addColumn<QColor>("darker");
        QTest::addColumn<QColor>("lighter");
        QTest::newRow("hot button 10") << QColor(0xE0EEF9) << 10 << QColor(0xCAD6E0) << QColor(0xE3F0FA);
        QTest::newRow("hot button 20") << QColor(0xE0EEF9) << 20 << QColor(0xB3BEC7) << QColor(0xE6F1FA);
        QTest::newRow("half rounds away from zero") << QColor(0xD0D0D0) << 50 << QColor(0x686868) << QColor(0xE8E8E8);
        QTest::newRow("black") << QColor(0, 0, 0) << 50 << QColor(0, 0, 0) << QColor(0x808080);
    }
    void colourArithmetic() {
        QFETCH(QColor, base);
        QFETCH(int, percent);
        QFETCH(QColor, darker);
        QFETCH(QColor, lighter);
        QCOMPARE(TStyledButtonAttributes::darken(base, percent), darker);
        QCOMPARE(TStyledButtonAttributes::lighten(base, percent), lighter);
    }
};

QTEST_MAIN(StyledButtonTest)
#include "tst_styledbutton.moc"
